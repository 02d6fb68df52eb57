# Offscreen tests of the search form and its run control, on real widgets.
add_executable(searchform_tests
  ${CMAKE_CURRENT_LIST_DIR}/form/SearchFormTest.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/MemoryFileSystem.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/ScriptedNetwork.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtTsanSuppressions.cpp
)
set_target_properties(searchform_tests PROPERTIES AUTOMOC ON)
target_link_libraries(searchform_tests PRIVATE qvgui Qt6::Test Qt6::Widgets)
add_test(NAME searchform_tests COMMAND searchform_tests)
set_tests_properties(searchform_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QV_DISCOVERY=0" TIMEOUT 300)
