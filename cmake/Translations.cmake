# kiv's window texts in other languages: data/translations/kiv_LANG.ts, compiled by
# lrelease (package qt6-l10n-tools) and built into kivlib as resources under
# :/kiv/translations. scripts/update-translations.sh brings the .ts files up to date
# with the sources.
find_program(KIV_LRELEASE NAMES lrelease lrelease-qt6 HINTS /usr/lib/qt6/bin ${QT6_INSTALL_PREFIX}/bin REQUIRED)
file(GLOB KIV_TS_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/translations/kiv_*.ts)
set(KIV_QM_FILES)
foreach(ts ${KIV_TS_FILES})
  get_filename_component(lang ${ts} NAME_WE)
  set(qm ${CMAKE_BINARY_DIR}/translations/${lang}.qm)
  add_custom_command(OUTPUT ${qm}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/translations
    COMMAND ${KIV_LRELEASE} -silent ${ts} -qm ${qm}
    DEPENDS ${ts} VERBATIM)
  list(APPEND KIV_QM_FILES ${qm})
endforeach()
set_source_files_properties(${KIV_QM_FILES} PROPERTIES GENERATED TRUE)
qt_add_resources(kivlib kiv_translations PREFIX /kiv/translations BASE ${CMAKE_BINARY_DIR}/translations
  FILES ${KIV_QM_FILES})
