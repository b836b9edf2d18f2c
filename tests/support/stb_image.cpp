// stb_image's implementation, for the tests and the fuzzer alone (the programs never use
// it): only its BMP reader, decoding from memory.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb/stb_image.h>
