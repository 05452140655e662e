# Include direction of the tree: pages -> ui -> device -> link -> base, the
# logic libraries without widgets (Qt Core headers at most), the simulated
# board on the link only. Run as: cmake -DROOT=<tree> -P check_includes.cmake
# Prints every include that goes the wrong way and fails when there is one.
cmake_minimum_required(VERSION 3.22)

set(core_qt QString QStringList QByteArray QObject QTimer QCoreApplication QThread QMetaObject QFile QDir
            QFileInfo QTextStream QList QVector QMap QVariant QtGlobal QtMath QElapsedTimer QDateTime
            QRegularExpression QSaveFile QMutex QPointer QLibrary)
set(widgets_core base link device formats registers/core txrx/core controls/core)

# Folder -> folders it may include from. "qt" allows any Qt header,
# "qtcore" the Qt Core headers above, nothing: no Qt at all.
set(rule_base base)
set(rule_link base link)
set(rule_device base link device)
set(rule_agent base link agent)
set(rule_formats base link device formats qtcore)
set(rule_registers/core base link device formats registers/core qtcore)
set(rule_txrx/core base link device formats registers/core txrx/core qtcore)
set(rule_controls/core base controls/core qtcore)
set(rule_ui base link device formats ui qt)
set(rule_controls base controls/core controls ui qt)
set(pages_common base link device formats registers/core txrx/core controls/core controls ui qt)
set(rule_txrx ${pages_common} txrx)
set(rule_registers/mac ${pages_common} registers/mac)
set(rule_registers/bbp ${pages_common} registers/bbp)
set(rule_registers/rf ${pages_common} registers/rf)
set(rule_registers/eeprom ${pages_common} registers/eeprom)
set(rule_app ${pages_common} txrx registers/mac registers/bbp registers/rf registers/eeprom app agent
             measure measure/noise/core measure/nhm/core calibration calibration/core calibration/papd/core pci pci/core
             measure/sniffer)
# Folders added later follow the same pattern.
set(rule_measure/core base link device formats registers/core txrx/core measure/core qtcore)
set(rule_calibration/core base link device formats registers/core txrx/core measure/core calibration/core qtcore)
set(rule_pci/core base link device formats pci/core qtcore)
set(rule_measure/noise/core base link device formats registers/core txrx/core measure/noise/core qtcore)
set(rule_measure/nhm/core base link device formats measure/nhm/core qtcore)
set(rule_calibration/papd/core base link device formats calibration/papd/core qtcore)
set(rule_measure ${pages_common} measure/core measure/noise/core measure/nhm/core measure)
set(rule_measure/ostra measure/ostra) # the RX EVM library: standard library only
set(rule_measure/sniffer/core base link device formats registers/core txrx/core measure/sniffer/core qtcore)
set(rule_measure/sniffer ${pages_common} measure/sniffer/core measure/sniffer)
set(rule_calibration ${pages_common} measure/core calibration/core calibration/papd/core calibration)
set(rule_pci ${pages_common} pci/core pci)
set(rule_cli base link device formats registers/core txrx/core measure/core measure/noise/core measure/nhm/core
              measure/sniffer/core calibration/core calibration/papd/core pci/core controls/core cli agent qtcore)
set(folders registers/core txrx/core controls/core measure/core measure/ostra calibration/core pci/core
            measure/noise/core measure/nhm/core calibration/papd/core measure/sniffer/core measure/sniffer
            registers/mac registers/bbp registers/rf registers/eeprom
            base link device agent formats ui controls txrx app measure calibration pci cli)

# The folder a path (relative to the root) belongs to: the longest matching one.
function(folder_of path out)
  set(best "")
  foreach(f ${folders})
    string(LENGTH "${f}" len)
    string(LENGTH "${best}" best_len)
    if(path MATCHES "^${f}/" AND len GREATER best_len)
      set(best ${f})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(sources)
foreach(f ${folders})
  file(GLOB_RECURSE found RELATIVE ${ROOT} ${ROOT}/${f}/*.h ${ROOT}/${f}/*.cpp)
  list(APPEND sources ${found})
endforeach()
list(REMOVE_DUPLICATES sources)
set(violations 0)
foreach(file ${sources})
  folder_of("${file}" folder)
  if(folder STREQUAL "")
    continue() # tests, bench, build folders: anything goes
  endif()
  set(allowed ${rule_${folder}})
  file(STRINGS ${ROOT}/${file} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    set(bad "")
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(target ${CMAKE_MATCH_1})
      folder_of("${target}" target_folder)
      if(target_folder STREQUAL "")
        if(NOT target MATCHES "\\.moc$")
          set(bad "outside the layered folders")
        endif()
      elseif(NOT target_folder IN_LIST allowed)
        set(bad "${folder}/ may not include ${target_folder}/")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<(Qt[A-Za-z]*)/")
      set(module ${CMAKE_MATCH_1})
      if(NOT "qt" IN_LIST allowed AND NOT ("qtcore" IN_LIST allowed AND module STREQUAL "QtCore"))
        set(bad "${module} in ${folder}/")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z0-9_]*)>")
      set(header ${CMAKE_MATCH_1})
      if(NOT "qt" IN_LIST allowed AND NOT ("qtcore" IN_LIST allowed AND header IN_LIST core_qt))
        set(bad "<${header}> in ${folder}/")
      endif()
    endif()
    if(bad)
      message("${file}: ${line}    (${bad})")
      math(EXPR violations "${violations} + 1")
    endif()
  endforeach()
endforeach()

if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) against the layering")
endif()
message(STATUS "includes follow the layering")
