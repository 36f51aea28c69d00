# The platform-neutral format core: the archive reader and its name
# comparison, the block decoder, and the parsers of the INI values. No
# windows.h: it is compiled in every build, natively for fa2 and the unit
# tests, with MinGW for the updater, and with the sanitizers for the fuzz
# targets.
add_library(fa2core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/archive/archive_name_folds.cpp
  ${CMAKE_CURRENT_LIST_DIR}/archive/archive_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/archive/archive_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/archive/decompress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/archive/patch_frames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/archive/patch_records.cpp
  ${CMAKE_CURRENT_LIST_DIR}/archive/payload_digest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config/decimal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config/list_tokenizer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config/setup_lists.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config/update_items.cpp)
target_include_directories(fa2core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(fa2core PRIVATE xxhash zstd_headers)
