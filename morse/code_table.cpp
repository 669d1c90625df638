#include "morse/code_table.h"

namespace morse {

namespace {

struct Entry {
  char16_t c;
  const char* code;
};

// "-" and "=" share BT; "@" is a stream of twenty dits for the Dits drill.
constexpr Entry kEntries[] = {
    {u'*', "111313"}, {u'+', "31331"},  {u',', "331133"}, {u'-', "31113"},
    {u'.', "131313"}, {u'/', "31131"},  {u'0', "33333"},  {u'1', "13333"},
    {u'2', "11333"},  {u'3', "11133"},  {u'4', "11113"},  {u'5', "11111"},
    {u'6', "31111"},  {u'7', "33111"},  {u'8', "33311"},  {u'9', "33331"},
    {u':', "31313"},  {u';', "13131"},  {u'<', ""},       {u'=', "31113"},
    {u'>', ""},       {u'?', "113311"}, {u'@', "11111111111111111111"},
    {u'A', "13"},     {u'B', "3111"},   {u'C', "3131"},   {u'D', "311"},
    {u'E', "1"},      {u'F', "1131"},   {u'G', "331"},    {u'H', "1111"},
    {u'I', "11"},     {u'J', "1333"},   {u'K', "313"},    {u'L', "1311"},
    {u'M', "33"},     {u'N', "31"},     {u'O', "333"},    {u'P', "1331"},
    {u'Q', "3313"},   {u'R', "131"},    {u'S', "111"},    {u'T', "3"},
    {u'U', "113"},    {u'V', "1113"},   {u'W', "133"},    {u'X', "3113"},
    {u'Y', "3133"},   {u'Z', "3311"},
};

}  // namespace

void CodeTableInitialize(TrainerState& st) {
  st.Fbase = kCodeTableBase;
  for (const Entry& e : kEntries) st.CodeTable[e.c - st.Fbase] = e.code;
}

std::string CharToCode(const TrainerState& st, std::u16string_view s) {
  if (s.empty()) return {};
  const std::int32_t k = static_cast<std::int32_t>(s.front()) - st.Fbase;
  if (k < 0 || k >= kCodeTableSize) return {};
  return st.CodeTable[static_cast<std::size_t>(k)];
}

}  // namespace morse
