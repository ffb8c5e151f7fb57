# The Windows build (mingw-w64, see cmake/mingw-w64.cmake): the platform layer passed straight
# to real Win32 (src/platform/win32), the daemon logic over it with the device-only services
# as stubs (src/platform/win32/stubs, one file per service), the slide screen beside it, and
# the platform conformance suite and the daemon's story, both run under Wine by tools/wine-test.
add_link_options(-static)

file(GLOB DV_PLATFORM_SHARED_SOURCES CONFIGURE_DEPENDS src/platform/*.cpp)
file(GLOB_RECURSE DV_WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
add_library(dv_platform_win32 STATIC ${DV_PLATFORM_SHARED_SOURCES} ${DV_WIN32_SOURCES})
target_include_directories(dv_platform_win32 PUBLIC src)
target_link_libraries(dv_platform_win32 PUBLIC user32 gdi32 advapi32 shell32 ole32 oleaut32)

add_library(dv_daemon_win32 STATIC ${DV_DAEMON_SOURCES})
target_link_libraries(dv_daemon_win32 PUBLIC dv_platform_win32)

# Linking the daemon proves every call it makes is served, by Win32 or by a stub.
add_executable(dorvane2 ${DV_DAEMON_WIN32_MAIN})
target_link_libraries(dorvane2 PRIVATE dv_daemon_win32)

# GoogleTest from Debian's libgtest-dev sources, built for Windows.
set(DV_GTEST_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")
add_library(dv_gtest_win32 STATIC ${DV_GTEST_DIR}/src/gtest-all.cc ${DV_GTEST_DIR}/src/gtest_main.cc)
target_include_directories(dv_gtest_win32 SYSTEM PUBLIC ${DV_GTEST_DIR}/include ${DV_GTEST_DIR})
target_compile_options(dv_gtest_win32 PRIVATE -w)

file(GLOB DV_CONFORMANCE_SOURCES CONFIGURE_DEPENDS tests/conformance/*.cpp)
list(FILTER DV_CONFORMANCE_SOURCES EXCLUDE REGEX "_sim\\.cpp$")
add_executable(dv_conformance ${DV_CONFORMANCE_SOURCES})
target_link_libraries(dv_conformance PRIVATE dv_platform_win32 dv_gtest_win32)

# The slide screen beside the daemon, which does not start without it.
add_executable(vurl src/standin/vurl_win32.cpp)
target_link_libraries(vurl PRIVATE dv_platform_win32)

# The daemon's story under Wine, a plain Win32 program: it starts dorvane2.exe beside it.
add_executable(dv_daemon_test tests/wine/daemon_test.cpp)
target_link_libraries(dv_daemon_test PRIVATE ntdll)
add_dependencies(dv_daemon_test dorvane2 vurl)
