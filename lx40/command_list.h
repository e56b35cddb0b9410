// lx40 list [--json]: every attached meter with its battery and slots.
#ifndef LX40_LX40_COMMAND_LIST_H
#define LX40_LX40_COMMAND_LIST_H

namespace CLI {
class App;
}

namespace lx40 {

struct ListOptions {
  bool json = false;  // one JSON object per meter and line
};

void AddListOptions(CLI::App& app, ListOptions& options);
int RunListCommand(const ListOptions& options);

}  // namespace lx40

#endif
