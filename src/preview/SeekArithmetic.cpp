#include "preview/SeekArithmetic.h"

#include <limits>

qint64 SeekTargetUnits(qint64 stopUnits, int position, int maximum)
{
    if (maximum <= 0 || position < 0 || stopUnits < 0)
        return -1;
    qint64 product = 0;
    // Only a stop position of thousands of years could overflow; divide
    // first then rather than wrap around to a negative target.
    if (__builtin_mul_overflow(stopUnits, qint64(position), &product))
        return stopUnits / maximum * position;
    return product / maximum;
}

qint64 SeekTargetMs(qint64 stopMs, int position, int maximum)
{
    if (stopMs < 0 || stopMs > std::numeric_limits<qint64>::max() / UnitsPerMs)
        return -1;
    const qint64 target = SeekTargetUnits(MsToUnits(stopMs), position, maximum);
    return target < 0 ? -1 : UnitsToMs(target);
}
