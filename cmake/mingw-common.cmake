# The posix thread model is needed by GoogleTest (std::mutex); everything is
# linked statically so that no mingw runtime DLL has to travel with a binary.
set(CMAKE_C_COMPILER ${DRESS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DRESS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DRESS_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DRESS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine through the loader the test scripts chose.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
