# Start-up, document, main frame, dialogs, resources, result list pane and the
# minimal location tree; the qv executable.

target_sources(qvgui PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/AboutDialog.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/CMainFrame.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/CQVApp.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/CQVDoc.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/DesktopShellLauncher.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MapDriveDialog.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/HelpDialog.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/LockKeys.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/SaveResultDialog.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/StandardProfile.cpp
  ${PROJECT_SOURCE_DIR}/results/CQVView.cpp
  ${PROJECT_SOURCE_DIR}/network/CLeftView.cpp
  ${PROJECT_SOURCE_DIR}/resources/FrameResources.cpp
  ${PROJECT_SOURCE_DIR}/resources/ResourceIcon.cpp
  ${PROJECT_SOURCE_DIR}/resources/quendle.qrc
)
target_link_libraries(qvgui PUBLIC qvstrings)

add_executable(qv ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(qv PRIVATE qvgui)
# help.txt is looked up beside the program when the start directory has none.
add_custom_command(TARGET qv POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/resources/help.txt $<TARGET_FILE_DIR:qv>/help.txt)
