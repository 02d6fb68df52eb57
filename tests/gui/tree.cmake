# The location tree pane: offscreen over a scripted network, and against the Samba
# test LAN inside its client namespace.
add_executable(tree_tests
  ${CMAKE_CURRENT_LIST_DIR}/tree/LocationTreeTest.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/MemoryFileSystem.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/ScriptedNetwork.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtTsanSuppressions.cpp
)
set_target_properties(tree_tests PROPERTIES AUTOMOC ON)
target_link_libraries(tree_tests PRIVATE qvgui Qt6::Test Qt6::Widgets)
target_compile_definitions(tree_tests PRIVATE FAKE_SMB_HELPER="$<TARGET_FILE:fake-qv-smb>")
add_dependencies(tree_tests fake-qv-smb)
add_test(NAME tree_tests COMMAND tree_tests)
set_tests_properties(tree_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QV_DISCOVERY=0" TIMEOUT 120)

# Run by tests/smb/run-lan-tests inside the LAN's client namespace; 77 (skipped) when
# not root or the LAN is not up.
add_executable(tree_lan_tests
  ${CMAKE_CURRENT_LIST_DIR}/tree/LocationTreeLanTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtTsanSuppressions.cpp
)
set_target_properties(tree_lan_tests PROPERTIES AUTOMOC ON)
target_link_libraries(tree_lan_tests PRIVATE qvgui Qt6::Test Qt6::Widgets)
add_dependencies(tree_lan_tests qv-smb)
add_test(NAME tree_lan_tests
         COMMAND ${PROJECT_SOURCE_DIR}/tests/smb/run-lan-tests $<TARGET_FILE:tree_lan_tests>)
set_tests_properties(tree_lan_tests PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QV_DISCOVERY=0" SKIP_RETURN_CODE 77
                     TIMEOUT 600 RESOURCE_LOCK qvlan LABELS lan)
