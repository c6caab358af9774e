# Read by cpack before it packs: users get the optimised build, never the
# developers' Debug one.
if(NOT CPACK_LZH_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  message(FATAL_ERROR "this build is a ${CPACK_LZH_BUILD_TYPE} build; packages are made from "
                      "an optimised one (the native-release or win32 preset: make deb, make dist)")
endif()
