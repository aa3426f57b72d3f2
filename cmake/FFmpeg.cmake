# FFmpeg's decoders (libavcodec, libswscale, libswresample, libavutil) as one imported target,
# ffmpeg::decoders.
#   Natively: Debian's libavcodec-dev, libswscale-dev, libswresample-dev through pkg-config.
#   Windows: static libraries built from Debian's source package of the same version. Give the
#   install prefix in CLIPHARBOR_FFMPEG_PREFIX, or leave it empty: tools/build-ffmpeg.sh then builds
#   it once per configure line and target and caches it under ~/.cache/clipharbor/ffmpeg/.
include_guard(GLOBAL)

if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(CLIPHARBOR_FFMPEG REQUIRED IMPORTED_TARGET libavcodec libswscale libswresample libavutil)
  add_library(ffmpeg::decoders INTERFACE IMPORTED GLOBAL)
  target_link_libraries(ffmpeg::decoders INTERFACE PkgConfig::CLIPHARBOR_FFMPEG)
  return()
endif()

set(CLIPHARBOR_FFMPEG_PREFIX "" CACHE PATH
    "FFmpeg install prefix for this Windows target; empty: built and cached by tools/build-ffmpeg.sh")
set(_ffmpeg_prefix "${CLIPHARBOR_FFMPEG_PREFIX}")
if(NOT _ffmpeg_prefix)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    set(_ffmpeg_target i686)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(_ffmpeg_target x86_64)
  else()
    message(FATAL_ERROR "FFmpeg: no build recipe for processor '${CMAKE_SYSTEM_PROCESSOR}'")
  endif()
  set(_ffmpeg_script ${CMAKE_CURRENT_LIST_DIR}/../tools/build-ffmpeg.sh)
  # Editing the recipe changes its configure line, hence its cache folder: configure again then.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_ffmpeg_script})
  message(STATUS "FFmpeg: ${_ffmpeg_target} decoders from tools/build-ffmpeg.sh (a few minutes when not cached)")
  execute_process(COMMAND bash ${_ffmpeg_script} ${_ffmpeg_target}
                  OUTPUT_VARIABLE _ffmpeg_prefix ERROR_VARIABLE _ffmpeg_error RESULT_VARIABLE _ffmpeg_rc
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT _ffmpeg_rc EQUAL 0)
    message(FATAL_ERROR "FFmpeg: tools/build-ffmpeg.sh ${_ffmpeg_target} failed: ${_ffmpeg_error}")
  endif()
endif()
foreach(_lib swscale avcodec swresample avutil)
  if(NOT EXISTS ${_ffmpeg_prefix}/lib/lib${_lib}.a)
    message(FATAL_ERROR "FFmpeg: ${_ffmpeg_prefix}/lib/lib${_lib}.a is missing")
  endif()
endforeach()
message(STATUS "FFmpeg: ${_ffmpeg_prefix}")

add_library(ffmpeg::decoders INTERFACE IMPORTED GLOBAL)
# Static link order: each library before what it uses; then the system libraries that the
# install's own pkg-config files name (bcrypt for avutil's random seed).
target_include_directories(ffmpeg::decoders SYSTEM INTERFACE ${_ffmpeg_prefix}/include)
target_link_libraries(ffmpeg::decoders INTERFACE
  ${_ffmpeg_prefix}/lib/libswscale.a ${_ffmpeg_prefix}/lib/libavcodec.a
  ${_ffmpeg_prefix}/lib/libswresample.a ${_ffmpeg_prefix}/lib/libavutil.a
  bcrypt ole32 user32 atomic)
set(CLIPHARBOR_FFMPEG_LICENCE ${_ffmpeg_prefix}/COPYING.LGPLv2.1 CACHE INTERNAL "")
set(CLIPHARBOR_FFMPEG_CONFIGURE ${_ffmpeg_prefix}/CONFIGURE.txt CACHE INTERNAL "")
