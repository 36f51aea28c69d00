# zstd (BSD), the engine of the patch entries. Two link targets:
#   zstd_full     compressor and decompressor (fa2)
#   zstd_decoder  the decompressor alone (the updater)
# and zstd_headers, the headers alone (the format core). Natively both are
# Debian's libzstd-dev, linked statically so that fa2 shares nothing but the
# C library. The windows build takes the static MinGW libraries that
# scripts/zstd-mingw.sh builds from Debian's source package into
# build/zstd-mingw; configure runs it every time, and it builds only when
# the libraries are missing or were built by an older recipe.
if(WIN32)
  set(ZSTD_MINGW_DIR ${PROJECT_SOURCE_DIR}/build/zstd-mingw)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/zstd-mingw.sh ${ZSTD_MINGW_DIR}
                  RESULT_VARIABLE zstd_result)
  if(NOT zstd_result EQUAL 0)
    message(FATAL_ERROR "scripts/zstd-mingw.sh could not build zstd for the windows build")
  endif()
  set(ZSTD_INCLUDE_DIR ${ZSTD_MINGW_DIR}/full/include)
  set(ZSTD_FULL_LIBRARY ${ZSTD_MINGW_DIR}/full/lib/libzstd.a)
  set(ZSTD_DECODER_LIBRARY ${ZSTD_MINGW_DIR}/decoder/lib/libzstd.a)
else()
  find_path(ZSTD_INCLUDE_DIR zstd.h)
  find_library(ZSTD_FULL_LIBRARY NAMES libzstd.a)
  if(NOT ZSTD_INCLUDE_DIR OR NOT ZSTD_FULL_LIBRARY)
    message(FATAL_ERROR "zstd.h or libzstd.a not found: install libzstd-dev (scripts/deps.sh)")
  endif()
  set(ZSTD_DECODER_LIBRARY ${ZSTD_FULL_LIBRARY})
endif()
add_library(zstd_headers INTERFACE)
target_include_directories(zstd_headers SYSTEM INTERFACE ${ZSTD_INCLUDE_DIR})
add_library(zstd_full INTERFACE)
target_link_libraries(zstd_full INTERFACE zstd_headers ${ZSTD_FULL_LIBRARY})
add_library(zstd_decoder INTERFACE)
target_link_libraries(zstd_decoder INTERFACE zstd_headers ${ZSTD_DECODER_LIBRARY})
