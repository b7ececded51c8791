# Every reference file of the corpus beside the checkout, compared cell by
# cell with what `bracken-cli inspect --json` reads from it. Skipped when the
# corpus is absent.
set(BRACKEN_CORPUS_NAMES
  jet3/compIndexTestV1997 jet3/delColTestV1997 jet3/delTestV1997 jet3/indexTestV1997
  jet3/overflowTestV1997 jet3/queryTestV1997 jet3/test2V1997 jet3/testV1997
  jet4/adox_jet4 jet4/bigIndexTestV2000 jet4/compIndexTestV2000 jet4/delColTestV2000
  jet4/delTestV2000 jet4/emptyJet4 jet4/fixedNumericTestV2000 jet4/fixedTextTestV2000
  jet4/indexCursorTestV2000 jet4/indexTestV2000 jet4/noPasswordV2000 jet4/numericV2000
  jet4/overflowTestV2000 jet4/queryTestV2000 jet4/test2V2000 jet4/testIndexPropertiesV2000
  jet4/testPromotionV2000 jet4/testV2000 jet4/withPasswordV2000
  ace/attachmentsV2016 ace/bigIndexTestV2007 ace/bigintV2016 ace/compIndexTestV2007
  ace/complexDataTestV2007 ace/currencyV2016 ace/delColTestV2007 ace/delTestV2007
  ace/extDateTestV2019 ace/fixedNumericTestV2007 ace/fixedTextTestV2007
  ace/indexCursorTestV2007 ace/indexTestV2007 ace/linkerTestV2007 ace/longtextV2016
  ace/noPasswordV2010 ace/numericV2007 ace/odbcLinkerTestV2007 ace/oldDatesV2007
  ace/overflowTestV2007 ace/queryTestV2007 ace/test2V2007 ace/testIndexPropertiesV2007
  ace/testPromotionV2007 ace/testV2007 ace/withDeletedColV2016 ace/withInsertedColV2016
  ace/withPasswordAgileV2010)

find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  foreach(name ${BRACKEN_CORPUS_NAMES})
    set(password "")
    if(name MATCHES "withPassword")
      set(password "password")
    endif()
    add_test(NAME corpus_compare_${name}
      COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/corpus_compare.sh $<TARGET_FILE:bracken-cli>
              ${Python3_EXECUTABLE} ${BRACKEN_SHARED_DIR} ${name} ${password})
    set_tests_properties(corpus_compare_${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
  endforeach()
endif()

# The inspect tests run the built program.
if(TARGET cli_tests)
  add_dependencies(cli_tests bracken-cli)
endif()
