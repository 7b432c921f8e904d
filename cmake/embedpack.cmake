# cmake -DINPUT=file.pack -DOUTPUT=file.cpp -DSYMBOLS="a;b;..." -P embedpack.cmake
# Writes a C++ source holding the pack as the byte array embeddedPack, one zero-filled
# array per file it holds (named by SYMBOLS, in the pack's order, sized by its header,
# with SYMBOLSize), and the start-up step that unpacks the pack into them.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
list(LENGTH SYMBOLS symbolCount)
string(SUBSTRING "${hex}" 0 2 countHex)
math(EXPR count "0x${countHex}")
if(NOT count EQUAL symbolCount)
  message(FATAL_ERROR "${INPUT} holds ${count} files, data/CMakeLists.txt names ${symbolCount}")
endif()

set(arrays "")
set(targets "")
set(index 0)
foreach(symbol ${SYMBOLS})
  # Each size is 4 bytes, little-endian, after the count byte.
  math(EXPR at "2 + 8 * ${index}")
  set(fileSize 0)
  foreach(byte 3 2 1 0)
    math(EXPR byteAt "${at} + 2 * ${byte}")
    string(SUBSTRING "${hex}" ${byteAt} 2 byteHex)
    math(EXPR fileSize "${fileSize} * 256 + 0x${byteHex}")
  endforeach()
  string(APPEND arrays "unsigned char ${symbol}[${fileSize}];\nextern const int ${symbol}Size = ${fileSize};\n")
  string(APPEND targets "    {${symbol}, ${fileSize}},\n")
  math(EXPR index "${index} + 1")
endforeach()

string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include \"data/embedded.h\"\n"
  "#include \"data/unpack.h\"\n\n"
  "extern const unsigned char embeddedPack[] = {\n${bytes}\n};\n"
  "extern const int embeddedPackSize = ${size};\n\n"
  "${arrays}\n"
  "namespace {\n"
  "const UnpackTarget targets[] = {\n${targets}};\n"
  "// Unpacked before main: whatever reads the files does so from main on.\n"
  "const bool unpacked = unpackFiles(embeddedPack, sizeof embeddedPack, targets, ${count});\n"
  "} // namespace\n\n"
  "bool embeddedDataUnpacked() { return unpacked; }\n")
