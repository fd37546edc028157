// decorate-exports: gives a shared library's exported placeholder names their
// Windows-decorated spelling.
//
//   decorate-exports LIBRARY
//
// The decorated names of the maker's library ("?M16Upd_Init@@YAHH@Z") cannot be
// linked as they are: the linker reads "@@" in a symbol name as a symbol
// version. The library therefore exports placeholders with '$' where the
// decorated name has '@' ("?M16Upd_Init$$YAHH$Z"), and this tool rewrites
// those names in the dynamic string table (same length) and rebuilds the
// SysV symbol hash table that dlsym() searches. The library must be linked
// with --hash-style=sysv (no GNU hash table). 64-bit little-endian ELF only.
// Exit code 0 when done (also when there was nothing left to rename), 1 on error.
#include <elf.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr char kPlaceholderStart = '?';

template <typename T>
T* At(std::vector<char>& file, std::size_t offset) {
  return offset + sizeof(T) <= file.size() ? reinterpret_cast<T*>(file.data() + offset) : nullptr;
}

unsigned long ElfHash(const char* name) {
  unsigned long h = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
    h = (h << 4) + *p;
    const unsigned long g = h & 0xF0000000UL;
    if (g != 0) h ^= g >> 24;
    h &= ~g;
  }
  return h;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "decorate-exports: %s\n", message.c_str());
  return 1;
}

struct Tables {
  Elf64_Shdr* dynsym = nullptr;
  Elf64_Shdr* dynstr = nullptr;
  Elf64_Shdr* hash = nullptr;
  bool gnuHash = false;
};

bool FindTables(std::vector<char>& file, Tables& tables) {
  const auto* header = At<Elf64_Ehdr>(file, 0);
  if (header == nullptr || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
      header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_ident[EI_DATA] != ELFDATA2LSB) {
    return false;
  }
  for (unsigned i = 0; i < header->e_shnum; ++i) {
    auto* section = At<Elf64_Shdr>(file, header->e_shoff + i * sizeof(Elf64_Shdr));
    if (section == nullptr) return false;
    if (section->sh_type == SHT_DYNSYM) tables.dynsym = section;
    if (section->sh_type == SHT_HASH) tables.hash = section;
    if (section->sh_type == SHT_GNU_HASH) tables.gnuHash = true;
  }
  if (tables.dynsym == nullptr) return false;
  tables.dynstr =
      At<Elf64_Shdr>(file, header->e_shoff + tables.dynsym->sh_link * sizeof(Elf64_Shdr));
  return tables.dynstr != nullptr &&
         tables.dynstr->sh_offset + tables.dynstr->sh_size <= file.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: decorate-exports LIBRARY");
  std::vector<char> file;
  {
    std::ifstream in(argv[1], std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), {});
  }
  Tables tables;
  if (!FindTables(file, tables))
    return Fail(std::string(argv[1]) + ": no 64-bit little-endian ELF with dynamic symbols");
  if (tables.gnuHash || tables.hash == nullptr)
    return Fail("link the library with -Wl,--hash-style=sysv");

  char* strings = file.data() + tables.dynstr->sh_offset;
  const std::size_t stringsSize = tables.dynstr->sh_size;
  const std::size_t count = tables.dynsym->sh_size / sizeof(Elf64_Sym);
  auto* symbols = At<Elf64_Sym>(file, tables.dynsym->sh_offset);
  if (symbols == nullptr) return Fail("symbol table outside the file");
  auto name = [&](std::size_t i) {
    return symbols[i].st_name < stringsSize ? strings + symbols[i].st_name : nullptr;
  };

  for (std::size_t i = 1; i < count; ++i) {
    char* text = name(i);
    if (text == nullptr || text[0] != kPlaceholderStart || std::strchr(text, '$') == nullptr)
      continue;
    const std::size_t begin = symbols[i].st_name;
    const std::size_t end = begin + std::strlen(text);
    for (std::size_t k = 1; k < count; ++k) {
      // The linker may let one name end inside another; renaming would change both.
      if (k != i && symbols[k].st_name > begin && symbols[k].st_name <= end)
        return Fail(std::string(text) + " is shared");
    }
    for (char* c = text; *c != 0; ++c) {
      if (*c == '$') *c = '@';
    }
  }

  // SysV hash table: nbucket, nchain, buckets, chains (32-bit words).
  auto* words = At<std::uint32_t>(file, tables.hash->sh_offset);
  if (words == nullptr || words[1] != count) return Fail("hash table does not match the symbols");
  const std::uint32_t buckets = words[0];
  std::uint32_t* bucket = words + 2;
  std::uint32_t* chain = bucket + buckets;
  std::fill(bucket, bucket + buckets, 0);
  std::fill(chain, chain + count, 0);
  for (std::size_t i = 1; i < count; ++i) {
    const char* text = name(i);
    if (text == nullptr) return Fail("symbol name outside the string table");
    const std::uint32_t slot = static_cast<std::uint32_t>(ElfHash(text) % buckets);
    chain[i] = bucket[slot];
    bucket[slot] = static_cast<std::uint32_t>(i);
  }

  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
  return out ? 0 : Fail(std::string(argv[1]) + ": cannot be written");
}
