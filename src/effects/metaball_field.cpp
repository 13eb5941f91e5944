#include "effects/metaball_field.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace demo {

const int kCellCorners[8][3] = {
    {0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1},
};

const int kEdgeCorners[12][2] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7},
};

// Bit e set where the corners of edge e differ in the code, so entry c and
// entry 255 - c are equal.
const int32_t kEdgeTable[256] = {
    0x000, 0x109, 0x203, 0x30a, 0x406, 0x50f, 0x605, 0x70c,
    0x80c, 0x905, 0xa0f, 0xb06, 0xc0a, 0xd03, 0xe09, 0xf00,
    0x190, 0x099, 0x393, 0x29a, 0x596, 0x49f, 0x795, 0x69c,
    0x99c, 0x895, 0xb9f, 0xa96, 0xd9a, 0xc93, 0xf99, 0xe90,
    0x230, 0x339, 0x033, 0x13a, 0x636, 0x73f, 0x435, 0x53c,
    0xa3c, 0xb35, 0x83f, 0x936, 0xe3a, 0xf33, 0xc39, 0xd30,
    0x3a0, 0x2a9, 0x1a3, 0x0aa, 0x7a6, 0x6af, 0x5a5, 0x4ac,
    0xbac, 0xaa5, 0x9af, 0x8a6, 0xfaa, 0xea3, 0xda9, 0xca0,
    0x460, 0x569, 0x663, 0x76a, 0x066, 0x16f, 0x265, 0x36c,
    0xc6c, 0xd65, 0xe6f, 0xf66, 0x86a, 0x963, 0xa69, 0xb60,
    0x5f0, 0x4f9, 0x7f3, 0x6fa, 0x1f6, 0x0ff, 0x3f5, 0x2fc,
    0xdfc, 0xcf5, 0xfff, 0xef6, 0x9fa, 0x8f3, 0xbf9, 0xaf0,
    0x650, 0x759, 0x453, 0x55a, 0x256, 0x35f, 0x055, 0x15c,
    0xe5c, 0xf55, 0xc5f, 0xd56, 0xa5a, 0xb53, 0x859, 0x950,
    0x7c0, 0x6c9, 0x5c3, 0x4ca, 0x3c6, 0x2cf, 0x1c5, 0x0cc,
    0xfcc, 0xec5, 0xdcf, 0xcc6, 0xbca, 0xac3, 0x9c9, 0x8c0,
    0x8c0, 0x9c9, 0xac3, 0xbca, 0xcc6, 0xdcf, 0xec5, 0xfcc,
    0x0cc, 0x1c5, 0x2cf, 0x3c6, 0x4ca, 0x5c3, 0x6c9, 0x7c0,
    0x950, 0x859, 0xb53, 0xa5a, 0xd56, 0xc5f, 0xf55, 0xe5c,
    0x15c, 0x055, 0x35f, 0x256, 0x55a, 0x453, 0x759, 0x650,
    0xaf0, 0xbf9, 0x8f3, 0x9fa, 0xef6, 0xfff, 0xcf5, 0xdfc,
    0x2fc, 0x3f5, 0x0ff, 0x1f6, 0x6fa, 0x7f3, 0x4f9, 0x5f0,
    0xb60, 0xa69, 0x963, 0x86a, 0xf66, 0xe6f, 0xd65, 0xc6c,
    0x36c, 0x265, 0x16f, 0x066, 0x76a, 0x663, 0x569, 0x460,
    0xca0, 0xda9, 0xea3, 0xfaa, 0x8a6, 0x9af, 0xaa5, 0xbac,
    0x4ac, 0x5a5, 0x6af, 0x7a6, 0x0aa, 0x1a3, 0x2a9, 0x3a0,
    0xd30, 0xc39, 0xf33, 0xe3a, 0x936, 0x83f, 0xb35, 0xa3c,
    0x53c, 0x435, 0x73f, 0x636, 0x13a, 0x033, 0x339, 0x230,
    0xe90, 0xf99, 0xc93, 0xd9a, 0xa96, 0xb9f, 0x895, 0x99c,
    0x69c, 0x795, 0x49f, 0x596, 0x29a, 0x393, 0x099, 0x190,
    0xf00, 0xe09, 0xd03, 0xc0a, 0xb06, 0xa0f, 0x905, 0x80c,
    0x70c, 0x605, 0x50f, 0x406, 0x30a, 0x203, 0x109, 0x000,
};

const int32_t kTriangleTable[256][16] = {
    {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 8, 3, 9, 8, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 1, 2, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 2, 10, 0, 2, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 8, 3, 2, 10, 8, 10, 9, 8, -1, -1, -1, -1, -1, -1, -1},
    {3, 11, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 11, 2, 8, 11, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 9, 0, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 11, 2, 1, 9, 11, 9, 8, 11, -1, -1, -1, -1, -1, -1, -1},
    {3, 10, 1, 11, 10, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 10, 1, 0, 8, 10, 8, 11, 10, -1, -1, -1, -1, -1, -1, -1},
    {3, 9, 0, 3, 11, 9, 11, 10, 9, -1, -1, -1, -1, -1, -1, -1},
    {9, 8, 10, 10, 8, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 7, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 3, 0, 7, 3, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 1, 9, 4, 7, 1, 7, 3, 1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 4, 7, 3, 0, 4, 1, 2, 10, -1, -1, -1, -1, -1, -1, -1},
    {9, 2, 10, 9, 0, 2, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1},
    {2, 10, 9, 2, 9, 7, 2, 7, 3, 7, 9, 4, -1, -1, -1, -1},
    {8, 4, 7, 3, 11, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 4, 7, 11, 2, 4, 2, 0, 4, -1, -1, -1, -1, -1, -1, -1},
    {9, 0, 1, 8, 4, 7, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1},
    {4, 7, 11, 9, 4, 11, 9, 11, 2, 9, 2, 1, -1, -1, -1, -1},
    {3, 10, 1, 3, 11, 10, 7, 8, 4, -1, -1, -1, -1, -1, -1, -1},
    {1, 11, 10, 1, 4, 11, 1, 0, 4, 7, 11, 4, -1, -1, -1, -1},
    {4, 7, 8, 9, 0, 11, 9, 11, 10, 11, 0, 3, -1, -1, -1, -1},
    {4, 7, 11, 4, 11, 9, 9, 11, 10, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 4, 0, 8, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 5, 4, 1, 5, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 5, 4, 8, 3, 5, 3, 1, 5, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 9, 5, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 8, 1, 2, 10, 4, 9, 5, -1, -1, -1, -1, -1, -1, -1},
    {5, 2, 10, 5, 4, 2, 4, 0, 2, -1, -1, -1, -1, -1, -1, -1},
    {2, 10, 5, 3, 2, 5, 3, 5, 4, 3, 4, 8, -1, -1, -1, -1},
    {9, 5, 4, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 11, 2, 0, 8, 11, 4, 9, 5, -1, -1, -1, -1, -1, -1, -1},
    {0, 5, 4, 0, 1, 5, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1},
    {2, 1, 5, 2, 5, 8, 2, 8, 11, 4, 8, 5, -1, -1, -1, -1},
    {10, 3, 11, 10, 1, 3, 9, 5, 4, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 5, 0, 8, 1, 8, 10, 1, 8, 11, 10, -1, -1, -1, -1},
    {5, 4, 0, 5, 0, 11, 5, 11, 10, 11, 0, 3, -1, -1, -1, -1},
    {5, 4, 8, 5, 8, 10, 10, 8, 11, -1, -1, -1, -1, -1, -1, -1},
    {9, 7, 8, 5, 7, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 3, 0, 9, 5, 3, 5, 7, 3, -1, -1, -1, -1, -1, -1, -1},
    {0, 7, 8, 0, 1, 7, 1, 5, 7, -1, -1, -1, -1, -1, -1, -1},
    {1, 5, 3, 3, 5, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 7, 8, 9, 5, 7, 10, 1, 2, -1, -1, -1, -1, -1, -1, -1},
    {10, 1, 2, 9, 5, 0, 5, 3, 0, 5, 7, 3, -1, -1, -1, -1},
    {8, 0, 2, 8, 2, 5, 8, 5, 7, 10, 5, 2, -1, -1, -1, -1},
    {2, 10, 5, 2, 5, 3, 3, 5, 7, -1, -1, -1, -1, -1, -1, -1},
    {7, 9, 5, 7, 8, 9, 3, 11, 2, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 7, 9, 7, 2, 9, 2, 0, 2, 7, 11, -1, -1, -1, -1},
    {2, 3, 11, 0, 1, 8, 1, 7, 8, 1, 5, 7, -1, -1, -1, -1},
    {11, 2, 1, 11, 1, 7, 7, 1, 5, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 8, 8, 5, 7, 10, 1, 3, 10, 3, 11, -1, -1, -1, -1},
    {5, 7, 0, 5, 0, 9, 7, 11, 0, 1, 0, 10, 11, 10, 0, -1},
    {11, 10, 0, 11, 0, 3, 10, 5, 0, 8, 0, 7, 5, 7, 0, -1},
    {11, 10, 5, 7, 11, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {10, 6, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 0, 1, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 8, 3, 1, 9, 8, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1},
    {1, 6, 5, 2, 6, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 6, 5, 1, 2, 6, 3, 0, 8, -1, -1, -1, -1, -1, -1, -1},
    {9, 6, 5, 9, 0, 6, 0, 2, 6, -1, -1, -1, -1, -1, -1, -1},
    {5, 9, 8, 5, 8, 2, 5, 2, 6, 3, 2, 8, -1, -1, -1, -1},
    {2, 3, 11, 10, 6, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 0, 8, 11, 2, 0, 10, 6, 5, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, 2, 3, 11, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1},
    {5, 10, 6, 1, 9, 2, 9, 11, 2, 9, 8, 11, -1, -1, -1, -1},
    {6, 3, 11, 6, 5, 3, 5, 1, 3, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 11, 0, 11, 5, 0, 5, 1, 5, 11, 6, -1, -1, -1, -1},
    {3, 11, 6, 0, 3, 6, 0, 6, 5, 0, 5, 9, -1, -1, -1, -1},
    {6, 5, 9, 6, 9, 11, 11, 9, 8, -1, -1, -1, -1, -1, -1, -1},
    {5, 10, 6, 4, 7, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 3, 0, 4, 7, 3, 6, 5, 10, -1, -1, -1, -1, -1, -1, -1},
    {1, 9, 0, 5, 10, 6, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1},
    {10, 6, 5, 1, 9, 7, 1, 7, 3, 7, 9, 4, -1, -1, -1, -1},
    {6, 1, 2, 6, 5, 1, 4, 7, 8, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 5, 5, 2, 6, 3, 0, 4, 3, 4, 7, -1, -1, -1, -1},
    {8, 4, 7, 9, 0, 5, 0, 6, 5, 0, 2, 6, -1, -1, -1, -1},
    {7, 3, 9, 7, 9, 4, 3, 2, 9, 5, 9, 6, 2, 6, 9, -1},
    {3, 11, 2, 7, 8, 4, 10, 6, 5, -1, -1, -1, -1, -1, -1, -1},
    {5, 10, 6, 4, 7, 2, 4, 2, 0, 2, 7, 11, -1, -1, -1, -1},
    {0, 1, 9, 4, 7, 8, 2, 3, 11, 5, 10, 6, -1, -1, -1, -1},
    {9, 2, 1, 9, 11, 2, 9, 4, 11, 7, 11, 4, 5, 10, 6, -1},
    {8, 4, 7, 3, 11, 5, 3, 5, 1, 5, 11, 6, -1, -1, -1, -1},
    {5, 1, 11, 5, 11, 6, 1, 0, 11, 7, 11, 4, 0, 4, 11, -1},
    {0, 5, 9, 0, 6, 5, 0, 3, 6, 11, 6, 3, 8, 4, 7, -1},
    {6, 5, 9, 6, 9, 11, 4, 7, 9, 7, 11, 9, -1, -1, -1, -1},
    {10, 4, 9, 6, 4, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 10, 6, 4, 9, 10, 0, 8, 3, -1, -1, -1, -1, -1, -1, -1},
    {10, 0, 1, 10, 6, 0, 6, 4, 0, -1, -1, -1, -1, -1, -1, -1},
    {8, 3, 1, 8, 1, 6, 8, 6, 4, 6, 1, 10, -1, -1, -1, -1},
    {1, 4, 9, 1, 2, 4, 2, 6, 4, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 8, 1, 2, 9, 2, 4, 9, 2, 6, 4, -1, -1, -1, -1},
    {0, 2, 4, 4, 2, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 3, 2, 8, 2, 4, 4, 2, 6, -1, -1, -1, -1, -1, -1, -1},
    {10, 4, 9, 10, 6, 4, 11, 2, 3, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 2, 2, 8, 11, 4, 9, 10, 4, 10, 6, -1, -1, -1, -1},
    {3, 11, 2, 0, 1, 6, 0, 6, 4, 6, 1, 10, -1, -1, -1, -1},
    {6, 4, 1, 6, 1, 10, 4, 8, 1, 2, 1, 11, 8, 11, 1, -1},
    {9, 6, 4, 9, 3, 6, 9, 1, 3, 11, 6, 3, -1, -1, -1, -1},
    {8, 11, 1, 8, 1, 0, 11, 6, 1, 9, 1, 4, 6, 4, 1, -1},
    {3, 11, 6, 3, 6, 0, 0, 6, 4, -1, -1, -1, -1, -1, -1, -1},
    {6, 4, 8, 11, 6, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 10, 6, 7, 8, 10, 8, 9, 10, -1, -1, -1, -1, -1, -1, -1},
    {0, 7, 3, 0, 10, 7, 0, 9, 10, 6, 7, 10, -1, -1, -1, -1},
    {10, 6, 7, 1, 10, 7, 1, 7, 8, 1, 8, 0, -1, -1, -1, -1},
    {10, 6, 7, 10, 7, 1, 1, 7, 3, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 6, 1, 6, 8, 1, 8, 9, 8, 6, 7, -1, -1, -1, -1},
    {2, 6, 9, 2, 9, 1, 6, 7, 9, 0, 9, 3, 7, 3, 9, -1},
    {7, 8, 0, 7, 0, 6, 6, 0, 2, -1, -1, -1, -1, -1, -1, -1},
    {7, 3, 2, 6, 7, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 3, 11, 10, 6, 8, 10, 8, 9, 8, 6, 7, -1, -1, -1, -1},
    {2, 0, 7, 2, 7, 11, 0, 9, 7, 6, 7, 10, 9, 10, 7, -1},
    {1, 8, 0, 1, 7, 8, 1, 10, 7, 6, 7, 10, 2, 3, 11, -1},
    {11, 2, 1, 11, 1, 7, 10, 6, 1, 6, 7, 1, -1, -1, -1, -1},
    {8, 9, 6, 8, 6, 7, 9, 1, 6, 11, 6, 3, 1, 3, 6, -1},
    {0, 9, 1, 11, 6, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 8, 0, 7, 0, 6, 3, 11, 0, 11, 6, 0, -1, -1, -1, -1},
    {7, 11, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 6, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 8, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 1, 9, 8, 3, 1, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1},
    {10, 1, 2, 6, 11, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 3, 0, 8, 6, 11, 7, -1, -1, -1, -1, -1, -1, -1},
    {2, 9, 0, 2, 10, 9, 6, 11, 7, -1, -1, -1, -1, -1, -1, -1},
    {6, 11, 7, 2, 10, 3, 10, 8, 3, 10, 9, 8, -1, -1, -1, -1},
    {7, 2, 3, 6, 2, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 0, 8, 7, 6, 0, 6, 2, 0, -1, -1, -1, -1, -1, -1, -1},
    {2, 7, 6, 2, 3, 7, 0, 1, 9, -1, -1, -1, -1, -1, -1, -1},
    {1, 6, 2, 1, 8, 6, 1, 9, 8, 8, 7, 6, -1, -1, -1, -1},
    {10, 7, 6, 10, 1, 7, 1, 3, 7, -1, -1, -1, -1, -1, -1, -1},
    {10, 7, 6, 1, 7, 10, 1, 8, 7, 1, 0, 8, -1, -1, -1, -1},
    {0, 3, 7, 0, 7, 10, 0, 10, 9, 6, 10, 7, -1, -1, -1, -1},
    {7, 6, 10, 7, 10, 8, 8, 10, 9, -1, -1, -1, -1, -1, -1, -1},
    {6, 8, 4, 11, 8, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 6, 11, 3, 0, 6, 0, 4, 6, -1, -1, -1, -1, -1, -1, -1},
    {8, 6, 11, 8, 4, 6, 9, 0, 1, -1, -1, -1, -1, -1, -1, -1},
    {9, 4, 6, 9, 6, 3, 9, 3, 1, 11, 3, 6, -1, -1, -1, -1},
    {6, 8, 4, 6, 11, 8, 2, 10, 1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 3, 0, 11, 0, 6, 11, 0, 4, 6, -1, -1, -1, -1},
    {4, 11, 8, 4, 6, 11, 0, 2, 9, 2, 10, 9, -1, -1, -1, -1},
    {10, 9, 3, 10, 3, 2, 9, 4, 3, 11, 3, 6, 4, 6, 3, -1},
    {8, 2, 3, 8, 4, 2, 4, 6, 2, -1, -1, -1, -1, -1, -1, -1},
    {0, 4, 2, 4, 6, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 9, 0, 2, 3, 4, 2, 4, 6, 4, 3, 8, -1, -1, -1, -1},
    {1, 9, 4, 1, 4, 2, 2, 4, 6, -1, -1, -1, -1, -1, -1, -1},
    {8, 1, 3, 8, 6, 1, 8, 4, 6, 6, 10, 1, -1, -1, -1, -1},
    {10, 1, 0, 10, 0, 6, 6, 0, 4, -1, -1, -1, -1, -1, -1, -1},
    {4, 6, 3, 4, 3, 8, 6, 10, 3, 0, 3, 9, 10, 9, 3, -1},
    {10, 9, 4, 6, 10, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 5, 7, 6, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 4, 9, 5, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1},
    {5, 0, 1, 5, 4, 0, 7, 6, 11, -1, -1, -1, -1, -1, -1, -1},
    {11, 7, 6, 8, 3, 4, 3, 5, 4, 3, 1, 5, -1, -1, -1, -1},
    {9, 5, 4, 10, 1, 2, 7, 6, 11, -1, -1, -1, -1, -1, -1, -1},
    {6, 11, 7, 1, 2, 10, 0, 8, 3, 4, 9, 5, -1, -1, -1, -1},
    {7, 6, 11, 5, 4, 10, 4, 2, 10, 4, 0, 2, -1, -1, -1, -1},
    {3, 4, 8, 3, 5, 4, 3, 2, 5, 10, 5, 2, 11, 7, 6, -1},
    {7, 2, 3, 7, 6, 2, 5, 4, 9, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 4, 0, 8, 6, 0, 6, 2, 6, 8, 7, -1, -1, -1, -1},
    {3, 6, 2, 3, 7, 6, 1, 5, 0, 5, 4, 0, -1, -1, -1, -1},
    {6, 2, 8, 6, 8, 7, 2, 1, 8, 4, 8, 5, 1, 5, 8, -1},
    {9, 5, 4, 10, 1, 6, 1, 7, 6, 1, 3, 7, -1, -1, -1, -1},
    {1, 6, 10, 1, 7, 6, 1, 0, 7, 8, 7, 0, 9, 5, 4, -1},
    {4, 0, 10, 4, 10, 5, 0, 3, 10, 6, 10, 7, 3, 7, 10, -1},
    {7, 6, 10, 7, 10, 8, 5, 4, 10, 4, 8, 10, -1, -1, -1, -1},
    {6, 9, 5, 6, 11, 9, 11, 8, 9, -1, -1, -1, -1, -1, -1, -1},
    {3, 6, 11, 0, 6, 3, 0, 5, 6, 0, 9, 5, -1, -1, -1, -1},
    {0, 11, 8, 0, 5, 11, 0, 1, 5, 5, 6, 11, -1, -1, -1, -1},
    {6, 11, 3, 6, 3, 5, 5, 3, 1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 9, 5, 11, 9, 11, 8, 11, 5, 6, -1, -1, -1, -1},
    {0, 11, 3, 0, 6, 11, 0, 9, 6, 5, 6, 9, 1, 2, 10, -1},
    {11, 8, 5, 11, 5, 6, 8, 0, 5, 10, 5, 2, 0, 2, 5, -1},
    {6, 11, 3, 6, 3, 5, 2, 10, 3, 10, 5, 3, -1, -1, -1, -1},
    {5, 8, 9, 5, 2, 8, 5, 6, 2, 3, 8, 2, -1, -1, -1, -1},
    {9, 5, 6, 9, 6, 0, 0, 6, 2, -1, -1, -1, -1, -1, -1, -1},
    {1, 5, 8, 1, 8, 0, 5, 6, 8, 3, 8, 2, 6, 2, 8, -1},
    {1, 5, 6, 2, 1, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 3, 6, 1, 6, 10, 3, 8, 6, 5, 6, 9, 8, 9, 6, -1},
    {10, 1, 0, 10, 0, 6, 9, 5, 0, 5, 6, 0, -1, -1, -1, -1},
    {0, 3, 8, 5, 6, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {10, 5, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 5, 10, 7, 5, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 5, 10, 11, 7, 5, 8, 3, 0, -1, -1, -1, -1, -1, -1, -1},
    {5, 11, 7, 5, 10, 11, 1, 9, 0, -1, -1, -1, -1, -1, -1, -1},
    {10, 7, 5, 10, 11, 7, 9, 8, 1, 8, 3, 1, -1, -1, -1, -1},
    {11, 1, 2, 11, 7, 1, 7, 5, 1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 1, 2, 7, 1, 7, 5, 7, 2, 11, -1, -1, -1, -1},
    {9, 7, 5, 9, 2, 7, 9, 0, 2, 2, 11, 7, -1, -1, -1, -1},
    {7, 5, 2, 7, 2, 11, 5, 9, 2, 3, 2, 8, 9, 8, 2, -1},
    {2, 5, 10, 2, 3, 5, 3, 7, 5, -1, -1, -1, -1, -1, -1, -1},
    {8, 2, 0, 8, 5, 2, 8, 7, 5, 10, 2, 5, -1, -1, -1, -1},
    {9, 0, 1, 5, 10, 3, 5, 3, 7, 3, 10, 2, -1, -1, -1, -1},
    {9, 8, 2, 9, 2, 1, 8, 7, 2, 10, 2, 5, 7, 5, 2, -1},
    {1, 3, 5, 3, 7, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 7, 0, 7, 1, 1, 7, 5, -1, -1, -1, -1, -1, -1, -1},
    {9, 0, 3, 9, 3, 5, 5, 3, 7, -1, -1, -1, -1, -1, -1, -1},
    {9, 8, 7, 5, 9, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {5, 8, 4, 5, 10, 8, 10, 11, 8, -1, -1, -1, -1, -1, -1, -1},
    {5, 0, 4, 5, 11, 0, 5, 10, 11, 11, 3, 0, -1, -1, -1, -1},
    {0, 1, 9, 8, 4, 10, 8, 10, 11, 10, 4, 5, -1, -1, -1, -1},
    {10, 11, 4, 10, 4, 5, 11, 3, 4, 9, 4, 1, 3, 1, 4, -1},
    {2, 5, 1, 2, 8, 5, 2, 11, 8, 4, 5, 8, -1, -1, -1, -1},
    {0, 4, 11, 0, 11, 3, 4, 5, 11, 2, 11, 1, 5, 1, 11, -1},
    {0, 2, 5, 0, 5, 9, 2, 11, 5, 4, 5, 8, 11, 8, 5, -1},
    {9, 4, 5, 2, 11, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 5, 10, 3, 5, 2, 3, 4, 5, 3, 8, 4, -1, -1, -1, -1},
    {5, 10, 2, 5, 2, 4, 4, 2, 0, -1, -1, -1, -1, -1, -1, -1},
    {3, 10, 2, 3, 5, 10, 3, 8, 5, 4, 5, 8, 0, 1, 9, -1},
    {5, 10, 2, 5, 2, 4, 1, 9, 2, 9, 4, 2, -1, -1, -1, -1},
    {8, 4, 5, 8, 5, 3, 3, 5, 1, -1, -1, -1, -1, -1, -1, -1},
    {0, 4, 5, 1, 0, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 4, 5, 8, 5, 3, 9, 0, 5, 0, 3, 5, -1, -1, -1, -1},
    {9, 4, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 11, 7, 4, 9, 11, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 4, 9, 7, 9, 11, 7, 9, 10, 11, -1, -1, -1, -1},
    {1, 10, 11, 1, 11, 4, 1, 4, 0, 7, 4, 11, -1, -1, -1, -1},
    {3, 1, 4, 3, 4, 8, 1, 10, 4, 7, 4, 11, 10, 11, 4, -1},
    {4, 11, 7, 9, 11, 4, 9, 2, 11, 9, 1, 2, -1, -1, -1, -1},
    {9, 7, 4, 9, 11, 7, 9, 1, 11, 2, 11, 1, 0, 8, 3, -1},
    {11, 7, 4, 11, 4, 2, 2, 4, 0, -1, -1, -1, -1, -1, -1, -1},
    {11, 7, 4, 11, 4, 2, 8, 3, 4, 3, 2, 4, -1, -1, -1, -1},
    {2, 9, 10, 2, 7, 9, 2, 3, 7, 7, 4, 9, -1, -1, -1, -1},
    {9, 10, 7, 9, 7, 4, 10, 2, 7, 8, 7, 0, 2, 0, 7, -1},
    {3, 7, 10, 3, 10, 2, 7, 4, 10, 1, 10, 0, 4, 0, 10, -1},
    {1, 10, 2, 8, 7, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 1, 4, 1, 7, 7, 1, 3, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 1, 4, 1, 7, 0, 8, 1, 8, 7, 1, -1, -1, -1, -1},
    {4, 0, 3, 7, 4, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 8, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 10, 8, 10, 11, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 9, 3, 9, 11, 11, 9, 10, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 10, 0, 10, 8, 8, 10, 11, -1, -1, -1, -1, -1, -1, -1},
    {3, 1, 10, 11, 3, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 11, 1, 11, 9, 9, 11, 8, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 9, 3, 9, 11, 1, 2, 9, 2, 11, 9, -1, -1, -1, -1},
    {0, 2, 11, 8, 0, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 2, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 3, 8, 2, 8, 10, 10, 8, 9, -1, -1, -1, -1, -1, -1, -1},
    {9, 10, 2, 0, 9, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 3, 8, 2, 8, 10, 0, 1, 8, 1, 10, 8, -1, -1, -1, -1},
    {1, 10, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 3, 8, 9, 1, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 9, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 3, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
};

namespace {

constexpr float kIsoLevel = 1.0f;
// The smallest squared distance a ball divides by, so that a ball centred
// exactly on a grid point gives that point a large finite value instead of
// an infinite one (which would turn the neighbouring normals into NaN).
constexpr float kMinDistanceSquared = 1e-6f;
// drawSurface polygonises into its own buffer in batches of this many
// triangles, all inside one glBegin/glEnd.
constexpr int kDrawBatchTriangles = 2048;

// How many triangles each corner code yields, counted from the table once.
struct TriangleCounts {
  uint8_t count[256];
  TriangleCounts() : count() {
    for (int code = 0; code < 256; ++code) {
      int entries = 0;
      while (entries < 16 && kTriangleTable[code][entries] != -1)
        ++entries;
      count[code] = static_cast<uint8_t>(entries / 3);
    }
  }
};
const TriangleCounts kTriangleCounts;

// One bound of a ball's box: v truncated toward zero and clamped to
// [0, maxIndex]. The comparisons come first so that no float outside the int
// range (or NaN) is ever converted; for every other v the result is the same
// as converting and then clamping. NaN gives 0.
int boxBound(float v, int maxIndex) {
  if (!(v > 0.0f))
    return 0;
  if (v >= static_cast<float>(maxIndex))
    return maxIndex;
  return static_cast<int>(v);
}

// Bit c of the code is set when corner c is below the iso level; a value of
// exactly 1.0, or a NaN, is not below.
int cornerCode(const FieldCell &cell) {
  int code = 0;
  for (int c = 0; c < 8; ++c)
    if (cell.corners[c]->value < kIsoLevel)
      code |= 1 << c;
  return code;
}

// The triangles of a cell whose corner code is already known.
int emitCell(const FieldPoint *const corners[8], int code, SurfaceVertex *out) {
  const int32_t edges = kEdgeTable[code];
  if (edges == 0)
    return 0;
  SurfaceVertex vertex[12];
  for (uint32_t left = static_cast<uint32_t>(edges); left != 0; left &= left - 1) {
    const int e = __builtin_ctz(left);
    vertex[e] = MetaballField::interpolateEdge(*corners[kEdgeCorners[e][0]], *corners[kEdgeCorners[e][1]]);
  }
  // Every row ends with -1 by entry 15 at the latest.
  const int32_t *row = kTriangleTable[code];
  int entries = 0;
  for (; row[entries] != -1; ++entries)
    out[entries] = vertex[row[entries]];
  return entries / 3;
}

// Sends vertices inside a glBegin(GL_TRIANGLES) the way the scene's shader
// expects them: unit 1's coordinate is the surface point's x and y.
void submit(const SurfaceVertex *vertices, int count) {
  for (int v = 0; v < count; ++v) {
    const Vec3 &p = vertices[v].position;
    const Vec3 &n = vertices[v].normal;
    const float normal[3] = {n.x, n.y, n.z};
    const float position[3] = {p.x, p.y, p.z};
    glMultiTexCoord2fARB(GL_TEXTURE1_ARB, p.x, p.y);
    glNormal3fv(normal);
    glVertex3fv(position);
  }
}

// Cells 64w .. 64w+63 of a row whose four point rows (the cell's j, k
// combinations) have the below-level masks a, b, c, d: a bit is set for each
// cell with corners on both sides of the level. Cell i needs point bits i
// and i+1; the bit above the word comes from the next word.
uint64_t mixedCells(const uint64_t *a, const uint64_t *b, const uint64_t *c, const uint64_t *d, int w,
                    int words) {
  const uint64_t all = a[w] & b[w] & c[w] & d[w];
  const uint64_t any = a[w] | b[w] | c[w] | d[w];
  uint64_t allNext = 0;
  uint64_t anyNext = 0;
  if (w + 1 < words) {
    allNext = a[w + 1] & b[w + 1] & c[w + 1] & d[w + 1];
    anyNext = a[w + 1] | b[w + 1] | c[w + 1] | d[w + 1];
  }
  const uint64_t allBelow = all & ((all >> 1) | (allNext << 63));
  const uint64_t noneBelow = ~any & ~((any >> 1) | (anyNext << 63));
  return ~(allBelow | noneBelow);
}

// The bits of word w that stand for indices in [from, to).
uint64_t indexRange(int w, int from, int to) {
  const int lo = std::clamp(from - 64 * w, 0, 64);
  const int hi = std::clamp(to - 64 * w, 0, 64);
  if (lo >= hi)
    return 0;
  const uint64_t upTo = hi == 64 ? ~uint64_t(0) : (uint64_t(1) << hi) - 1;
  return upTo & ~((uint64_t(1) << lo) - 1);
}

inline int bitAt(const uint64_t *row, int i) { return static_cast<int>((row[i >> 6] >> (i & 63)) & 1); }

// One ball's contributions along a row of points, written to row[lo..hi)
// (rowContributions) or added to it (addRow). The divisions vectorise; they
// are exact, so the bits do not depend on how many run at once.
void rowContributions(float *__restrict row, const float *__restrict dx2, float dy2, float dz2, float r2,
                      int lo, int hi) {
  for (int i = lo; i < hi; ++i)
    row[i] = r2 / std::max((dx2[i] + dy2) + dz2, kMinDistanceSquared);
}

void addRow(float *__restrict row, const float *__restrict dx2, float dy2, float dz2, float r2, int lo,
            int hi) {
  for (int i = lo; i < hi; ++i)
    row[i] += r2 / std::max((dx2[i] + dy2) + dz2, kMinDistanceSquared);
}

// The normals of points 1 .. n-2 of one row of points, from the central
// differences value(i-1) - value(i+1) (and likewise along j and k) of the
// contiguous value rows, scaled to unit length; a zero gradient gives a zero
// normal. The four-wide part does the same operations in the same order as
// the scalar tail (IEEE square root and division are exact in both), so every
// point gets the same bits whichever path computed it. It writes each point's
// normal and value as one 16-byte store, the value being the one it already
// has.
// Intentional: z is taken along k, not mirrored like the positions (see the
// header).
void gradientRow(const float *row, const float *below, const float *above, const float *front,
                 const float *back, int n, FieldPoint *points) {
  int i = 1;
#if defined(__SSE__)
  const __m128 zero = _mm_setzero_ps();
  const __m128 one = _mm_set1_ps(1.0f);
  for (; i + 4 < n; i += 4) {
    const __m128 gx = _mm_sub_ps(_mm_loadu_ps(row + i - 1), _mm_loadu_ps(row + i + 1));
    const __m128 gy = _mm_sub_ps(_mm_loadu_ps(below + i), _mm_loadu_ps(above + i));
    const __m128 gz = _mm_sub_ps(_mm_loadu_ps(front + i), _mm_loadu_ps(back + i));
    const __m128 squared =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(gx, gx), _mm_mul_ps(gy, gy)), _mm_mul_ps(gz, gz));
    const __m128 length = _mm_sqrt_ps(squared);
    const __m128 scale = _mm_and_ps(_mm_cmpgt_ps(length, zero), _mm_div_ps(one, length));
    __m128 x = _mm_mul_ps(gx, scale);
    __m128 y = _mm_mul_ps(gy, scale);
    __m128 z = _mm_mul_ps(gz, scale);
    __m128 value = _mm_loadu_ps(row + i);
    _MM_TRANSPOSE4_PS(x, y, z, value);  // now one (nx, ny, nz, value) per point
    _mm_storeu_ps(&points[i].normal.x, x);
    _mm_storeu_ps(&points[i + 1].normal.x, y);
    _mm_storeu_ps(&points[i + 2].normal.x, z);
    _mm_storeu_ps(&points[i + 3].normal.x, value);
  }
#endif
  for (; i + 1 < n; ++i) {
    const float gx = row[i - 1] - row[i + 1];
    const float gy = below[i] - above[i];
    const float gz = front[i] - back[i];
    const float length = std::sqrt(gx * gx + gy * gy + gz * gz);
    const float scale = length > 0.0f ? 1.0f / length : 0.0f;
    points[i].normal = {gx * scale, gy * scale, gz * scale};
  }
}

} // namespace

MetaballField::MetaballField(int n) : size_(n) {
  if (n < kMinSize || n > kMaxSize)
    throw std::invalid_argument("MetaballField: a grid of " + std::to_string(n) +
                                " points per axis is outside the supported " + std::to_string(kMinSize) +
                                " to " + std::to_string(kMaxSize));
  const size_t count = static_cast<size_t>(n) * n * n;
  points_.resize(count);
  size_t index = 0;
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i, ++index) {
        FieldPoint &p = points_[index];
        p.position = {2.0f * i / n - 1.0f, 2.0f * j / n - 1.0f, 1.0f - 2.0f * k / n};
        p.normal = {0.0f, 0.0f, 0.0f};
        p.value = 0.0f;
      }

  const int m = n - 1;
  cells_.resize(static_cast<size_t>(m) * m * m);
  index = 0;
  for (int k = 0; k < m; ++k)
    for (int j = 0; j < m; ++j)
      for (int i = 0; i < m; ++i, ++index)
        for (int c = 0; c < 8; ++c) {
          const size_t corner = static_cast<size_t>(i + kCellCorners[c][0]) +
                                static_cast<size_t>(n) * (j + kCellCorners[c][1]) +
                                static_cast<size_t>(n) * n * (k + kCellCorners[c][2]);
          cells_[index].corners[c] = &points_[corner];
        }

  for (int c = 0; c < 8; ++c)
    cornerOffset_[c] = static_cast<size_t>(kCellCorners[c][0]) + static_cast<size_t>(n) * kCellCorners[c][1] +
                       static_cast<size_t>(n) * n * kCellCorners[c][2];
  words_ = (n + 63) / 64;
  planeBits_.assign(2 * static_cast<size_t>(n) * words_, 0);
  rowScratch_.assign(n, 0.0f);
  axisScratch_.assign(3 * static_cast<size_t>(kMaxBatch) * n, 0.0f);
  valueScratch_.assign(3 * static_cast<size_t>(n) * n, 0.0f);
  drawBuffer_.resize(3 * kDrawBatchTriangles);
}

void MetaballField::clearValues() {
  for (FieldPoint &p : points_)
    p.value = 0.0f;
}

void MetaballField::addBall(float cx, float cy, float cz, float r) {
  const Metaball ball = {cx, cy, cz, r};
  addBalls(&ball, 1);
}

void MetaballField::addBalls(const Metaball *balls, int count) {
  for (int first = 0; first < count; first += kMaxBatch)
    addBatch(balls + first, std::min(kMaxBatch, count - first));
}

// Every point receives its balls' contributions one after the other in ball
// order, exactly as from separate addBall calls, so the values come out bit
// for bit the same; but each row of points is read and written once for the
// whole batch instead of once per ball.
void MetaballField::addBatch(const Metaball *balls, int count) {
  const int n = size_;
  const int last = n - 1;
  struct Box {
    int lo[3], hi[3];
    float r2;
    const float *d2[3];  // squared distance from the centre per index, per axis
  };
  Box boxes[kMaxBatch];
  int used = 0;
  int ylo = n, yhi = 0, zlo = n, zhi = 0;
  for (int b = 0; b < count; ++b) {
    const Metaball &ball = balls[b];
    const float centre[3] = {ball.x, ball.y, ball.z};
    const float reach = 5.0f * ball.r;
    Box &box = boxes[used];
    bool empty = false;
    for (int axis = 0; axis < 3; ++axis) {
      box.lo[axis] = boxBound(centre[axis] - reach, last);
      box.hi[axis] = boxBound(centre[axis] + reach, last);
      empty = empty || box.lo[axis] >= box.hi[axis];
    }
    if (empty)
      continue;
    // Squared distances along each axis once per index instead of once per
    // point; the sum below keeps the order (x + y) + z of the per-point
    // formula.
    for (int axis = 0; axis < 3; ++axis) {
      float *d2 = axisScratch_.data() + (static_cast<size_t>(used) * 3 + axis) * n;
      for (int i = box.lo[axis]; i < box.hi[axis]; ++i) {
        const float d = centre[axis] - static_cast<float>(i);
        d2[i] = d * d;
      }
      box.d2[axis] = d2;
    }
    box.r2 = ball.r * ball.r;
    ylo = std::min(ylo, box.lo[1]);
    yhi = std::max(yhi, box.hi[1]);
    zlo = std::min(zlo, box.lo[2]);
    zhi = std::max(zhi, box.hi[2]);
    ++used;
  }

  float *row = rowScratch_.data();
  for (int k = zlo; k < zhi; ++k)
    for (int j = ylo; j < yhi; ++j) {
      const Box *active[kMaxBatch];
      int actives = 0;
      int xlo = n, xhi = 0;
      for (int b = 0; b < used; ++b) {
        const Box &box = boxes[b];
        if (k >= box.lo[2] && k < box.hi[2] && j >= box.lo[1] && j < box.hi[1]) {
          active[actives++] = &box;
          xlo = std::min(xlo, box.lo[0]);
          xhi = std::max(xhi, box.hi[0]);
        }
      }
      FieldPoint *p = &points_[index(0, j, k)];
      if (actives == 1) {
        // One ball: its contributions, then straight into the points.
        const Box &box = *active[0];
        rowContributions(row, box.d2[0], box.d2[1][j], box.d2[2][k], box.r2, xlo, xhi);
        for (int i = xlo; i < xhi; ++i)
          p[i].value += row[i];
      } else if (actives > 1) {
        for (int i = xlo; i < xhi; ++i)
          row[i] = p[i].value;
        for (int b = 0; b < actives; ++b)
          addRow(row, active[b]->d2[0], active[b]->d2[1][j], active[b]->d2[2][k], active[b]->r2, active[b]->lo[0],
                 active[b]->hi[0]);
        for (int i = xlo; i < xhi; ++i)
          p[i].value = row[i];
      }
    }
}

void MetaballField::copyPlaneValues(int k, float *plane) const {
  const size_t count = static_cast<size_t>(size_) * size_;
  const FieldPoint *p = &points_[count * k];
  for (size_t q = 0; q < count; ++q)
    plane[q] = p[q].value;
}

void MetaballField::updateNormals() {
  // The gradient of plane k needs planes k-1, k and k+1: they are copied out
  // of the points into a ring of three contiguous planes, each plane once,
  // so that the arithmetic runs on whole rows at a time.
  const int n = size_;
  const size_t plane = static_cast<size_t>(n) * n;
  float *ring[3] = {valueScratch_.data(), valueScratch_.data() + plane, valueScratch_.data() + 2 * plane};
  copyPlaneValues(0, ring[0]);
  copyPlaneValues(1, ring[1]);
  for (int k = 1; k + 1 < n; ++k) {
    const float *front = ring[(k - 1) % 3];
    const float *middle = ring[k % 3];
    float *back = ring[(k + 1) % 3];
    copyPlaneValues(k + 1, back);
    for (int j = 1; j + 1 < n; ++j) {
      const size_t row = static_cast<size_t>(n) * j;
      gradientRow(middle + row, middle + row - n, middle + row + n, front + row, back + row, n,
                  &points_[plane * k + row]);
    }
  }
}

SurfaceVertex MetaballField::interpolateEdge(const FieldPoint &a, const FieldPoint &b) {
  const float mu = (kIsoLevel - a.value) / (b.value - a.value);
  SurfaceVertex v;
  v.position = {a.position.x + mu * (b.position.x - a.position.x),
                a.position.y + mu * (b.position.y - a.position.y),
                a.position.z + mu * (b.position.z - a.position.z)};
  v.normal = {a.normal.x + mu * (b.normal.x - a.normal.x), a.normal.y + mu * (b.normal.y - a.normal.y),
              a.normal.z + mu * (b.normal.z - a.normal.z)};
  return v;
}

int MetaballField::polygoniseCell(const FieldCell &cell, SurfaceVertex *out) {
  return emitCell(cell.corners, cornerCode(cell), out);
}

int MetaballField::polygoniseCell(const FieldCell &cell) {
  SurfaceVertex vertices[3 * kMaxTrianglesPerCell];
  const int triangles = polygoniseCell(cell, vertices);
  submit(vertices, 3 * triangles);
  return triangles;
}

void MetaballField::classifyPlane(int k, uint64_t *plane) const {
  const int n = size_;
  const FieldPoint *p = &points_[static_cast<size_t>(n) * n * k];
  for (int j = 0; j < n; ++j, p += n) {
    uint64_t *row = plane + static_cast<size_t>(j) * words_;
    for (int w = 0; w < words_; ++w) {
      const int begin = 64 * w;
      const int end = std::min(n, begin + 64);
      uint64_t bits = 0;
      for (int i = begin; i < end; ++i)
        bits |= static_cast<uint64_t>(p[i].value < kIsoLevel) << (i - begin);
      row[w] = bits;
    }
  }
}

int MetaballField::polygonise(SurfaceVertex *out, int capacity, int &nextCell) {
  const int total = cellCount();
  if (capacity < kMaxTrianglesPerCell)
    throw std::invalid_argument("MetaballField::polygonise: room for " + std::to_string(capacity) +
                                " triangles; give it at least kMaxTrianglesPerCell");
  if (nextCell < 0 || nextCell > total)
    throw std::invalid_argument("MetaballField::polygonise: cursor " + std::to_string(nextCell) +
                                " is outside 0.." + std::to_string(total));
  if (nextCell == total)
    return 0;

  // Each point's side of the level is one bit in a row mask, two point
  // planes at a time; a whole row of cells is then sorted into "all on one
  // side" (nothing to do, almost every cell) and "mixed" with a few word
  // operations, and only mixed cells are visited.
  const int m = size_ - 1;
  const int words = words_;
  const int firstK = nextCell / (m * m);
  const int firstJ = (nextCell / m) % m;
  const int firstI = nextCell % m;
  uint64_t *lower = planeBits_.data();
  uint64_t *upper = lower + static_cast<size_t>(size_) * words;
  classifyPlane(firstK, lower);
  classifyPlane(firstK + 1, upper);

  int written = 0;
  int j = firstJ;
  for (int k = firstK; k < m; ++k, j = 0) {
    if (k != firstK) {
      std::swap(lower, upper);
      classifyPlane(k + 1, upper);
    }
    for (; j < m; ++j) {
      const uint64_t *a = lower + static_cast<size_t>(j) * words;  // (j, k)
      const uint64_t *b = upper + static_cast<size_t>(j) * words;  // (j, k+1)
      const uint64_t *c = a + words;                               // (j+1, k)
      const uint64_t *d = b + words;                               // (j+1, k+1)
      const int from = (k == firstK && j == firstJ) ? firstI : 0;
      const size_t rowBase = static_cast<size_t>(size_) * (j + static_cast<size_t>(size_) * k);
      for (int w = 0; w < words; ++w) {
        uint64_t mixed = mixedCells(a, b, c, d, w, words) & indexRange(w, from, m);
        while (mixed) {
          const int i = 64 * w + __builtin_ctzll(mixed);
          mixed &= mixed - 1;
          // Corner order as in kCellCorners: 0 (i,j,k), 1 (i+1,j,k),
          // 2 (i+1,j,k+1), 3 (i,j,k+1), then the same at j+1.
          const int code = bitAt(a, i) | bitAt(a, i + 1) << 1 | bitAt(b, i + 1) << 2 | bitAt(b, i) << 3 |
                           bitAt(c, i) << 4 | bitAt(c, i + 1) << 5 | bitAt(d, i + 1) << 6 | bitAt(d, i) << 7;
          const int cell = i + m * (j + m * k);
          if (kTriangleCounts.count[code] > capacity - written) {
            nextCell = cell;
            return written;
          }
          // The corners by offset from point (i, j, k): cheaper than
          // fetching the cell's 64 bytes of pointers from a 3.8 MB table.
          const FieldPoint *const origin = &points_[i + rowBase];
          const FieldPoint *const corners[8] = {
              origin + cornerOffset_[0], origin + cornerOffset_[1], origin + cornerOffset_[2],
              origin + cornerOffset_[3], origin + cornerOffset_[4], origin + cornerOffset_[5],
              origin + cornerOffset_[6], origin + cornerOffset_[7]};
          written += emitCell(corners, code, out + 3 * written);
        }
      }
    }
  }
  nextCell = total;
  return written;
}

int MetaballField::drawSurface() {
  int total = 0;
  int nextCell = 0;
  glBegin(GL_TRIANGLES);
  while (nextCell < cellCount()) {
    const int triangles = polygonise(drawBuffer_.data(), kDrawBatchTriangles, nextCell);
    submit(drawBuffer_.data(), 3 * triangles);
    total += triangles;
  }
  glEnd();
  return total;
}

} // namespace demo
