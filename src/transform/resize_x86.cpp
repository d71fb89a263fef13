// AVX2 variants of the table-driven resampling (filled in below).

#include "transform/transform.h"

namespace vorn::detail {

bool reduceBlocksAvx2(const VornBuffer&, VornBuffer&, int, int) {
    return false;
}

bool resampleRowsAvx2(const VornBuffer&, VornBuffer&, const ResampleTables&, double, double) {
    return false;
}

} // namespace vorn::detail
