# Tests of the window: start-up, frame layout, menus, toolbar, keys, status bar,
# dialogs and profile. Offscreen, with the real widgets.
function(qv_add_shell_test name)
  add_executable(${name} ${ARGN} ${CMAKE_CURRENT_LIST_DIR}/QtTsanSuppressions.cpp)
  target_link_libraries(${name} PRIVATE qvgui Qt6::Test)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QV_DISCOVERY=0" TIMEOUT 120)
endfunction()

# The close tests run real searches of an in-memory tree through the form.
qv_add_shell_test(shell_frame_tests ${CMAKE_CURRENT_LIST_DIR}/shell/MainFrameTest.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/MemoryFileSystem.cpp)
qv_add_shell_test(shell_app_tests ${CMAKE_CURRENT_LIST_DIR}/shell/AppTest.cpp)
# Save and Save As: the dialog, the report file and its failures.
qv_add_shell_test(shell_report_tests ${CMAKE_CURRENT_LIST_DIR}/shell/ReportSaveTest.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/MemoryFileSystem.cpp)
qv_add_shell_test(shell_command_tests ${CMAKE_CURRENT_LIST_DIR}/shell/FrameCommandsTest.cpp)
