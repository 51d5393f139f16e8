# nlohmann-json (Debian's nlohmann-json3-dev), header-only, for kovarim-cli's
# --json and the tests that read it: the target nlohmann_json::nlohmann_json.
# Its package is this machine's and names /usr/include as its folder, where
# this machine's C library lies too; the cross build takes a folder of its
# own that leads to the headers alone.
if(CMAKE_CROSSCOMPILING)
    find_path(KOVARIM_JSON_INCLUDE nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(json_headers ${CMAKE_BINARY_DIR}/nlohmann_json)
    file(MAKE_DIRECTORY ${json_headers})
    file(CREATE_LINK ${KOVARIM_JSON_INCLUDE}/nlohmann ${json_headers}/nlohmann SYMBOLIC)
    add_library(nlohmann_json INTERFACE)
    target_include_directories(nlohmann_json SYSTEM INTERFACE ${json_headers})
    add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)
else()
    find_package(nlohmann_json 3.10 REQUIRED)
endif()
