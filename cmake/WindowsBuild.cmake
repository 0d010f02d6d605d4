# Settings of the Windows builds. Debian's header-only libraries live in
# /usr/include, which a cross build must not search (glibc's headers are
# there too): a folder of links to just those libraries stands in for it.
set(DWL_CROSS_INCLUDE ${CMAKE_BINARY_DIR}/cross-include)
file(MAKE_DIRECTORY ${DWL_CROSS_INCLUDE})
foreach(entry asio.hpp asio CLI stb)
  if(NOT EXISTS /usr/include/${entry})
    message(FATAL_ERROR "/usr/include/${entry} is missing: run scripts/setup")
  endif()
  file(CREATE_LINK /usr/include/${entry} ${DWL_CROSS_INCLUDE}/${entry} SYMBOLIC)
endforeach()
include_directories(SYSTEM ${DWL_CROSS_INCLUDE})

# Windows 7 and later; wide API by default; no min/max macros.
add_compile_definitions(_WIN32_WINNT=0x0601 UNICODE _UNICODE NOMINMAX)
# GCC 12 warns of an overlap inside std::string's own insert at -O3, a known
# false alarm of that compiler (its bug 105651) that only this build meets.
add_compile_options(-Wno-restrict)
set(DWL_ASIO_INCLUDE ${DWL_CROSS_INCLUDE} CACHE PATH "Standalone Asio's headers")
set(DWL_CLI11_INCLUDE ${DWL_CROSS_INCLUDE} CACHE PATH "CLI11's headers")
