// tavelor-reference: writes the generated tables of the panel protocol's reference anew.
//
//   tavelor-reference FILE           rewrites FILE's generated parts (docs/protocol.md)
//   tavelor-reference --check FILE   changes nothing; exit status 1 when FILE differs
//
// The build's `reference` target runs the first on docs/protocol.md; a test runs the second.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "reference/reference_tables.h"

namespace {

int Usage() {
  std::cerr << "usage: tavelor-reference [--check] FILE\n";
  return 2;
}

// The first line where the two texts differ, from 1.
size_t FirstDifferentLine(const std::string& a, const std::string& b) {
  size_t line = 1;
  for (size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i)
    if (a[i] == '\n') ++line;
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::string(argv[1]) == "--check";
  if (argc != 2 + (check ? 1 : 0)) return Usage();
  const std::string path = argv[argc - 1];
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "tavelor-reference: cannot read " << path << "\n";
    return 2;
  }
  const std::string document((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const tavelor::reference::Regenerated regenerated = tavelor::reference::Regenerate(document);
  if (!regenerated.problem.empty()) {
    std::cerr << "tavelor-reference: " << path << ": " << regenerated.problem << "\n";
    return 1;
  }
  if (regenerated.document == document) return 0;
  if (check) {
    std::cerr << "tavelor-reference: " << path << " differs from the registry's tables from line "
              << FirstDifferentLine(document, regenerated.document)
              << "; regenerate it: cmake --build --preset release --target reference\n";
    return 1;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << regenerated.document;
  if (!out.flush()) {
    std::cerr << "tavelor-reference: cannot write " << path << "\n";
    return 1;
  }
  std::cout << "tavelor-reference: " << path << " written anew\n";
  return 0;
}
