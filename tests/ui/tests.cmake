# The program that writes the demo Access file for `scripts/run --demo`. Its
# source ends in .cc so that the test_support library, which collects every
# .cpp under tests/support, does not take in its main().
add_executable(bracken-make-demo ${CMAKE_CURRENT_SOURCE_DIR}/support/demo/make_demo_mdb.cc)
target_link_libraries(bracken-make-demo PRIVATE test_support)

# The real program under Xvfb: opens, converts the demo file, leaves through
# Exit. Skipped without Xvfb, xdotool or a test server.
if(TARGET bracken)
  add_test(NAME ui_xvfb_smoke
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/ui/xvfb_smoke.sh $<TARGET_FILE:bracken>
            $<TARGET_FILE:bracken-make-demo>)
  set_tests_properties(ui_xvfb_smoke PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=xcb")
endif()
