# The program's version in one place: the banner's version text, the Windows version resources and
# the package names are all made from PROJECT_VERSION and the release date below.
set(KESTROVAN_VERSION_DATE "29.08.22")
set(KESTROVAN_VERSION_TEXT "Vers ${PROJECT_VERSION} / ${KESTROVAN_VERSION_DATE}")
set(KESTROVAN_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${KESTROVAN_GENERATED_DIR}/kestrovan_version.h
               @ONLY)

# Adds the version resource to a Windows program: Properties -> Details and inventory tools read
# it. The description names what the program is for.
function(kestrovan_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  set(KESTROVAN_RESOURCE_FILE_NAME "${target}.exe")
  set(KESTROVAN_RESOURCE_DESCRIPTION "${description}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${KESTROVAN_GENERATED_DIR}/${target}.rc
                 @ONLY)
  target_sources(${target} PRIVATE ${KESTROVAN_GENERATED_DIR}/${target}.rc)
endfunction()
