# Offscreen tests of the result list pane on real widgets.
add_executable(resultlist_tests
  ${CMAKE_CURRENT_LIST_DIR}/results/ResultListTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtTsanSuppressions.cpp
)
set_target_properties(resultlist_tests PROPERTIES AUTOMOC ON)
target_include_directories(resultlist_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(resultlist_tests PRIVATE qvgui Qt6::Test Qt6::Widgets)
add_test(NAME resultlist_tests COMMAND resultlist_tests)
set_tests_properties(resultlist_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QV_DISCOVERY=0" TIMEOUT 120)
