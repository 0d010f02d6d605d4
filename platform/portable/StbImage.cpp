// stb's image decoder itself, for builds without Debian's compiled libstb.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO  // pictures are read into memory first
#include <stb/stb_image.h>
