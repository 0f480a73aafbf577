# Tests and tools run the Windows programs under Wine, in a prefix of the
# build's own (never the user's), of the build's architecture, quiet, without
# the Mono and Gecko installer prompts.
#
# The loader and the server are called directly: Debian's wine and wineserver
# scripts pick the 32-bit loader whenever it is installed, even on a host
# that cannot execute it, so a 64-bit build would never reach wine64.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VELMOR_WINEARCH win64)
    find_program(VELMOR_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
    find_program(VELMOR_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
else()
    set(VELMOR_WINEARCH win32)
    find_program(VELMOR_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
    find_program(VELMOR_WINESERVER NAMES wineserver32 wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()
# Wine's Marlett font, which draws the caption buttons' glyphs: the loader
# called directly does not find the copy that Debian's fonts-wine installs,
# so each new prefix gets one in its Fonts folder.
find_file(VELMOR_MARLETT marlett.ttf
    PATHS /usr/share/wine/fonts /usr/share/fonts/truetype/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
set(VELMOR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                     WORLD_READ WORLD_EXECUTE
    @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
