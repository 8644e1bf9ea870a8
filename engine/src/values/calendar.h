// The calendar every date of the engine is counted in: the proleptic Gregorian calendar, for
// every year, as the host language counts it. Dates of values (days from 1899-12-30), their
// stored text and the dates written in conditions all go through these.
#pragma once

namespace engine::detail {

// Days from 1970-01-01 to a civil date; month 1-12.
long long DaysFromCivil(long long year, int month, int day);
// The civil date of a day counted from 1970-01-01.
void CivilFromDays(long long days, int& year, int& month, int& day);
bool IsLeap(int year);
// 28 to 31; month 1-12.
int DaysInMonth(int year, int month);

} // namespace engine::detail
