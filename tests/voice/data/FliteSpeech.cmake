# Synthetic speech for the dictation tests, made at build time with flite and
# sox (packages flite, sox). flite is deterministic: the same text and voice
# always give the same samples. Its slt and rms voices are clear enough for
# the offline recogniser; other synthesisers' are not. Output: 16 kHz mono
# signed 16-bit raw files in ZN_TEST_SPEECH_DIR, named <name>_<voice>.raw.
set(ZN_TEST_SPEECH_DIR "${CMAKE_BINARY_DIR}/test-speech")

if(NOT TARGET zn_test_speech)
  find_program(ZN_FLITE flite)
  find_program(ZN_SOX sox)
  set(zn_speech_files "")

  function(zn_flite_sentence name text)
    foreach(voice slt rms)
      set(wav "${ZN_TEST_SPEECH_DIR}/${name}_${voice}.wav")
      set(raw "${ZN_TEST_SPEECH_DIR}/${name}_${voice}.raw")
      add_custom_command(OUTPUT "${raw}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${ZN_TEST_SPEECH_DIR}"
        COMMAND ${ZN_FLITE} -voice ${voice} -t "${text}" -o "${wav}"
        COMMAND ${ZN_SOX} "${wav}" -t raw -r 16000 -c 1 -b 16 -e signed-integer "${raw}"
        COMMAND ${CMAKE_COMMAND} -E remove "${wav}"
        COMMENT "Speaking test sentence ${name} (${voice})"
        VERBATIM)
      list(APPEND zn_speech_files "${raw}")
    endforeach()
    set(zn_speech_files "${zn_speech_files}" PARENT_SCOPE)
  endfunction()

  if(ZN_FLITE AND ZN_SOX)
    zn_flite_sentence(walk "today i walked along the river and felt calm")
    zn_flite_sentence(weather "the weather was sunny and warm all afternoon")
    zn_flite_sentence(lunch "i had lunch with my sister and we talked for hours")
    zn_flite_sentence(evening "in the evening i read the book and went to bed early")
    zn_flite_sentence(mother "tomorrow i will call my mother and plan the weekend")
  else()
    message(STATUS "flite or sox not found: the synthetic dictation tests will skip")
  endif()
  add_custom_target(zn_test_speech DEPENDS ${zn_speech_files})
endif()

# Makes `target` build the recordings first and tells it where they are.
function(zn_use_test_speech target)
  add_dependencies(${target} zn_test_speech)
  target_compile_definitions(${target} PRIVATE ZN_TEST_SPEECH_DIR="${ZN_TEST_SPEECH_DIR}")
endfunction()
