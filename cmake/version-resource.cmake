# qozcal_version_resource(TARGET DESCRIPTION): gives a Windows executable or
# DLL a version resource (the project's version, the description, the
# target's file name), so that a device or a desktop can tell which build it
# runs.
function(qozcal_version_resource target description)
  get_target_property(type ${target} TYPE)
  set(QOZCAL_FILE_DESCRIPTION "${description}")
  set(QOZCAL_FILE_NAME "${target}.exe")
  set(QOZCAL_FILE_TYPE "VFT_APP")
  if(type STREQUAL "SHARED_LIBRARY")
    set(QOZCAL_FILE_NAME "${target}.dll")
    set(QOZCAL_FILE_TYPE "VFT_DLL")
  endif()
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${resource} @ONLY)
  target_sources(${target} PRIVATE ${resource})
endfunction()
