// VQ9447 QA: bench and QA tool for the VQ9447 Wi-Fi SoC's test agent.
#include "app/artwork.h"
#include "app/command_line.h"
#include "app/kalvik_app.h"
#include "base/services.h"
#include "ui/ui_services.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("VQ9447QA"));
    QApplication::setOrganizationDomain(QStringLiteral("vq9447qa.example.org"));
    QApplication::setApplicationName(QStringLiteral("VQ9447 QA"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.6.0"));
    QApplication::setWindowIcon(vq::ApplicationIcon());
    // The sheet's closing ends the program, never a message box closing first.
    QApplication::setQuitOnLastWindowClosed(false);

    vq::QtPrompter prompter;
    vq::SetPrompter(&prompter);
    int rc = 0;
    {
        vq::CKalvikApp app(vq::ApplicationArguments());
        rc = app.Run();
    }
    vq::SetPrompter(nullptr);
    return rc;
}
