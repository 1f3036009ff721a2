// Fuzz target: the account handler with any query and either allinfo flag;
// and the bulk check, whose code for every pair must be the handler's.
#include <pluvar/pluvar.h>

#include <algorithm>
#include <vector>

#include "fuzz_common.h"

namespace {

// The query's fields, each without its key ("knr=1&blz=2" gives "1", "2"),
// taken in twos as (account, bank code): the bulk check's code for each
// pair must be the handler's for "knr=K&blz=B".
void check_bulk(const uint8_t *data, size_t size) {
  std::string query;
  for (size_t n = 0; n < size && n < QUERY_SIZE - 1 && data[n]; n++)
    query += static_cast<char>(data[n]);
  std::vector<std::string> values;
  size_t at = 0;
  for (;;) {
    size_t end = query.find('&', at);
    std::string field = query.substr(at, end == std::string::npos ? end : end - at);
    size_t eq = field.find('=');
    values.push_back(eq == std::string::npos ? field : field.substr(eq + 1));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  for (std::string &v : values) v.erase(std::remove(v.begin(), v.end(), '='), v.end());
  std::vector<pluvar_account_text> pairs;
  for (size_t i = 0; i + 1 < values.size(); i += 2)
    pairs.push_back({values[i + 1].c_str(), values[i].c_str()});
  std::vector<int> codes(pairs.size(), -99);
  if (pluvar_check_accounts(pairs.data(), pairs.size(), codes.data()) != 0)
    fuzz_fail("the bulk check refused its pairs", query);
  for (size_t i = 0; i < pairs.size(); i++) {
    std::string single = std::string("knr=") + pairs[i].knr + "&blz=" + pairs[i].blz;
    int status = -1;
    fuzz_handler_once(Account_Main, reinterpret_cast<const uint8_t *>(single.data()),
                      single.size(), 0, &status);
    if (codes[i] != status) fuzz_fail("the bulk check's code differs from the handler's", single);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 0) check_bulk(data + 1, size - 1);
  return fuzz_handler(Account_Main, false, data, size);
}
