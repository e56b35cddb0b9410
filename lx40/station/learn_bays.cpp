#include "learn_bays.h"

#include <algorithm>
#include <string>
#include <thread>
#include <utility>

#include "mlink.h"

namespace lx40::station {

namespace {

constexpr size_t kMaxPlaces = 128;

using Plug = std::pair<std::string, uint32_t>;

std::vector<Plug> Plugs() {
  std::vector<mlink_meter_place> places(kMaxPlaces);
  size_t found = 0;
  if (mlink_list_places(places.data(), places.size(), &found) != MLINK_OK) return {};
  std::vector<Plug> plugs;
  for (size_t i = 0; i < std::min(found, places.size()); ++i) {
    if (places[i].port[0] != '\0') plugs.emplace_back(places[i].port, places[i].generation);
  }
  return plugs;
}

}  // namespace

std::vector<Bay> LearnBays(std::FILE* prompt, const std::function<bool()>& stopped,
                           std::chrono::milliseconds poll) {
  std::vector<Bay> bays;
  std::vector<Plug> known = Plugs();
  std::fprintf(prompt, "Plug a meter into bay 1 (Ctrl+C when every bay is done)\n");
  std::fflush(prompt);
  while (!stopped()) {
    std::this_thread::sleep_for(poll);
    const std::vector<Plug> now = Plugs();
    for (const Plug& plug : now) {
      if (std::find(known.begin(), known.end(), plug) != known.end()) continue;
      if (BayOfPort(bays, plug.first)) {
        std::fprintf(prompt, "Port %s is bay %s already\n", plug.first.c_str(),
                     bays[*BayOfPort(bays, plug.first)].label.c_str());
        continue;
      }
      bays.push_back(Bay{std::to_string(bays.size() + 1), plug.first});
      std::fprintf(prompt, "Bay %s is port %s. Plug a meter into bay %zu\n",
                   bays.back().label.c_str(), plug.first.c_str(), bays.size() + 1);
      std::fflush(prompt);
    }
    known = now;
  }
  return bays;
}

}  // namespace lx40::station
