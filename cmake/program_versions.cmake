# The programs' versions (set in CMakeLists.txt) made into what the sources
# and the resource compiler read: program_versions.h here, and each program's
# manifest from the .manifest.in beside it. Both land in one generated folder
# that the target program_versions puts on the include path, where the
# resource compiler finds the manifests too.
set(VELKOR_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

string(REPLACE "." "," ALIASDESK_VERSION_NUMBERS ${ALIASDESK_VERSION})
string(REPLACE "." "," PREFDESK_VERSION_NUMBERS ${PREFDESK_VERSION})
configure_file(${CMAKE_CURRENT_LIST_DIR}/program_versions.h.in ${VELKOR_GENERATED_DIR}/program_versions.h @ONLY)

add_library(program_versions INTERFACE)
target_include_directories(program_versions INTERFACE ${VELKOR_GENERATED_DIR})

# A program's manifest, with its version filled in, for its .rc.
function(velkor_manifest name)
    configure_file(${name}.manifest.in ${VELKOR_GENERATED_DIR}/${name}.manifest @ONLY)
endfunction()

# The release's version, for the zips' names (tools/dist.sh).
file(CONFIGURE OUTPUT ${VELKOR_GENERATED_DIR}/release_version CONTENT "${PROJECT_VERSION}\n")
