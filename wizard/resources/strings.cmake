# The native build's string table, read from strings.inc (the same source
# the .rc includes for the Windows string tables).
add_library(wizard_strings STATIC ${CMAKE_CURRENT_LIST_DIR}/string_table.cpp)
lx40_target_defaults(wizard_strings)
target_include_directories(wizard_strings PUBLIC ${PROJECT_SOURCE_DIR})
