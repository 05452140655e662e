#include "tests/txrx_radio/fake_panel.h"

namespace vq::test {

namespace {
const int kIds[] = {
    1019, 1021, 1022, 1023, 1024, 1025, 1026, 1029, 1030, 1032, 1034, 1064, 1066, 1067, 1068,
    1070, 1108, 1117, 1119, 1162, 1172, 1189, 1190, 1191, 1193, 1199, 1201, 1203, 1207, 1209,
    1210, 1211, 1212, 1213, 1214, 1215, 1216, 1246, 1247, 1252, 1253, 1254, 1255, 1256, 1257,
    1258, 1259, 1260, 1261, 1264, 1267, 1274, 1277, 1280, 1281, 1282, 1296, 1337, 1338, 1343,
    1344, 1349, 1350, 1351, 1352, 1354, 1401, 1402, 1410, 1417, 1418, 1505, 1506,
};
} // namespace

FakePanel::FakePanel(std::set<int> without) {
    for (int id : kIds)
        if (!without.count(id)) controls[id] = FakeControl{};
    // Lists the page fills at construction.
    if (Has(1019)) {
        for (int n = 1; n <= 14; ++n)
            controls[1019].items << QString::number(n);
        controls[1019].selection = 0;
    }
    if (Has(1267)) {
        controls[1267].items = {"10", "20", "40"};
        controls[1267].selection = 1;
    }
    if (Has(1352)) controls[1352].items = {"Lower", "Upper"};
}

const FakeControl& FakePanel::Get(int id) const {
    static const FakeControl none;
    auto it = controls.find(id);
    if (it == controls.end()) {
        touchedMissing.insert(id);
        return none;
    }
    return it->second;
}

FakeControl& FakePanel::At(int id) {
    static FakeControl sink;
    auto it = controls.find(id);
    if (it == controls.end()) {
        touchedMissing.insert(id);
        sink = FakeControl{};
        return sink;
    }
    return it->second;
}

} // namespace vq::test
