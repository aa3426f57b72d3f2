#include "catalogue/ClipRecord.h"

#include <algorithm>
#include <utility>

void ClipCatalogue::Clear()
{
    records.clear();
    order.clear();
}

void ClipCatalogue::Append(ClipRecord record)
{
    order.push_back(static_cast<int32_t>(records.size()));
    records.push_back(std::move(record));
}

int32_t ClipCatalogue::IndexAtRow(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= order.size())
        return -1;
    const int32_t index = order[static_cast<size_t>(row)];
    if (index < 0 || static_cast<size_t>(index) >= records.size())
        return -1;
    return index;
}

const ClipRecord* ClipCatalogue::RecordAtRow(int row) const
{
    const int32_t index = IndexAtRow(row);
    return index < 0 ? nullptr : &records[static_cast<size_t>(index)];
}

ClipRecord* ClipCatalogue::RecordAtRow(int row)
{
    const int32_t index = IndexAtRow(row);
    return index < 0 ? nullptr : &records[static_cast<size_t>(index)];
}

int32_t ClipSeconds(int32_t duration, int32_t timeScale)
{
    if (timeScale <= 0 || duration < 0)
        return 0;
    return duration / timeScale;
}

namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date (Howard Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

} // namespace

int64_t CalendarToTimeValue(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1900)
        return 0;
    const int64_t days = DaysFromCivil(year, std::clamp(month, 1, 12), std::clamp(day, 1, 31));
    return days * 86400 + int64_t{std::clamp(hour, 0, 23)} * 3600 + int64_t{std::clamp(minute, 0, 59)} * 60 +
           std::clamp(second, 0, 60);
}
