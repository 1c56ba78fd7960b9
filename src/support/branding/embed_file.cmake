# Writes a C++ source that holds the bytes of a file:
#   cmake -DINPUT=file -DOUTPUT=source.cpp -DNAMESPACE=ns -DFUNCTION=Name -P embed_file.cmake
# defines std::string_view ns::Name() returning the file's bytes.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp"
"// Generated at build time from ${INPUT}; do not edit.
#include <string_view>

namespace ${NAMESPACE} {
namespace {
constexpr char kBytes[] = {
    ${bytes}'\\0'};
}  // namespace

std::string_view ${FUNCTION}() { return std::string_view(kBytes, ${size}); }

}  // namespace ${NAMESPACE}
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
