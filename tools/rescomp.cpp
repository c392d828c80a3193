// rescomp: the resource compiler. Reads a resource script and the files it names and writes
// a C++ source holding the executable's resource table (platform/resource_table.h), plus a
// make-style dependency file so the build reruns it when any named file changes.
//
//   rescomp <script.rc> <table.cpp> [<table.cpp.d>]
//
// The script language is the small part of the Windows resource script that the program
// uses:
//   LANGUAGE <primary>, <sub>                    language of the resources that follow
//   <name> DIALOGEX x, y, cx, cy                 a dialog template without controls, with
//     STYLE / EXSTYLE <flags>, CAPTION "text",   its statements before BEGIN END
//     FONT size, "face"[, weight, italic, charset]
//   <name> ICON "file.ico" / CURSOR "file.cur"   icon and cursor groups
//   <name> RCDATA "file" / <name> <type> "file"  raw data, any numeric type (24: manifest)
// Names are numbers or identifiers; flags are numbers or known constants joined by '|'.
// Files are found relative to the script. Any error stops with "<script>:<line>: message".
//
// Output formats, as Windows stores them: the dialog is a DLGTEMPLATEEX (version 1,
// signature 0xFFFF, help id, extended style, style, item count, x, y, cx, cy, menu, class,
// title, and with DS_SETFONT: point size, weight, italic, charset, face; strings UTF-16LE).
// An .ico/.cur file (ICONDIR: reserved 0, type 1 or 2, count; 16-byte entries) becomes one
// RT_ICON/RT_CURSOR resource per image and an RT_GROUP_ICON/RT_GROUP_CURSOR directory whose
// 14-byte entries name them by id; a cursor image starts with its hot spot (two WORDs).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

enum : uint16_t {
  RC_CURSOR = 1,
  RC_ICON = 3,
  RC_DIALOG = 5,
  RC_RCDATA = 10,
  RC_GROUP_CURSOR = 12,
  RC_GROUP_ICON = 14,
};

const uint32_t RC_DS_SETFONT = 0x40;

// Constants the script may name.
const std::map<std::string, uint32_t> rcConstants = {
    {"WS_OVERLAPPED", 0x00000000}, {"WS_POPUP", 0x80000000},      {"WS_CHILD", 0x40000000},
    {"WS_MINIMIZE", 0x20000000},   {"WS_VISIBLE", 0x10000000},    {"WS_DISABLED", 0x08000000},
    {"WS_CLIPSIBLINGS", 0x04000000}, {"WS_CLIPCHILDREN", 0x02000000}, {"WS_MAXIMIZE", 0x01000000},
    {"WS_CAPTION", 0x00C00000},    {"WS_BORDER", 0x00800000},     {"WS_DLGFRAME", 0x00400000},
    {"WS_VSCROLL", 0x00200000},    {"WS_HSCROLL", 0x00100000},    {"WS_SYSMENU", 0x00080000},
    {"WS_THICKFRAME", 0x00040000}, {"WS_MINIMIZEBOX", 0x00020000}, {"WS_MAXIMIZEBOX", 0x00010000},
    {"DS_ABSALIGN", 0x01},         {"DS_SYSMODAL", 0x02},         {"DS_LOCALEDIT", 0x20},
    {"DS_SETFONT", 0x40},          {"DS_MODALFRAME", 0x80},       {"DS_NOIDLEMSG", 0x100},
    {"DS_SETFOREGROUND", 0x200},   {"DS_3DLOOK", 0x0004},         {"DS_FIXEDSYS", 0x0008},
    {"DS_NOFAILCREATE", 0x0010},   {"DS_CONTROL", 0x0400},        {"DS_CENTER", 0x0800},
    {"DS_CENTERMOUSE", 0x1000},    {"DS_CONTEXTHELP", 0x2000},    {"DS_SHELLFONT", 0x48},
    {"WS_EX_DLGMODALFRAME", 0x1},  {"WS_EX_NOPARENTNOTIFY", 0x4}, {"WS_EX_TOPMOST", 0x8},
    {"WS_EX_ACCEPTFILES", 0x10},   {"WS_EX_TRANSPARENT", 0x20},   {"WS_EX_TOOLWINDOW", 0x80},
    {"WS_EX_WINDOWEDGE", 0x100},   {"WS_EX_CLIENTEDGE", 0x200},   {"WS_EX_APPWINDOW", 0x40000},
    {"WS_EX_LAYERED", 0x80000},
    {"LANG_NEUTRAL", 0x00},        {"LANG_ENGLISH", 0x09},        {"SUBLANG_NEUTRAL", 0x00},
    {"SUBLANG_DEFAULT", 0x01},     {"SUBLANG_ENGLISH_US", 0x01},
    {"RT_MANIFEST", 24},           {"RT_RCDATA", 10},
};

struct RcName {
  uint16_t id;       // used when text is empty
  std::string text;  // a string name
};

struct RcResource {
  uint16_t type;
  RcName name;
  uint16_t language;
  Bytes data;
};

struct RcToken {
  enum Kind { WORD, NUMBER, STRING, PUNCT, END } kind;
  std::string text;
  uint32_t number;
  int line;
};

struct RcScript {
  std::string path;
  std::string dir;
  std::vector<RcToken> tokens;
  size_t next;
  std::vector<RcResource> resources;
  std::vector<std::string> inputs;
  uint16_t language;
  uint16_t nextIconId;
  uint16_t nextCursorId;
};

[[noreturn]] void RcFail(const RcScript& rc, int line, const std::string& message) {
  std::fprintf(stderr, "%s:%d: %s\n", rc.path.c_str(), line, message.c_str());
  std::exit(1);
}

// ---- Tokens ------------------------------------------------------------------------------

void RcTokenize(RcScript& rc, const std::string& text) {
  int line = 1;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\n') {
      ++line;
      ++i;
    } else if (std::isspace((unsigned char)c)) {
      ++i;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      size_t end = text.find("*/", i + 2);
      if (end == std::string::npos) RcFail(rc, line, "unterminated comment");
      for (size_t k = i; k < end; ++k) line += text[k] == '\n';
      i = end + 2;
    } else if (c == '"') {
      std::string s;
      ++i;
      while (i < text.size() && text[i] != '"') {
        if (text[i] == '\n') RcFail(rc, line, "unterminated string");
        if (text[i] == '\\' && i + 1 < text.size()) {
          char e = text[++i];
          s += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        } else {
          s += text[i];
        }
        ++i;
      }
      if (i >= text.size()) RcFail(rc, line, "unterminated string");
      ++i;
      rc.tokens.push_back({RcToken::STRING, s, 0, line});
    } else if (std::isdigit((unsigned char)c)) {
      size_t start = i;
      while (i < text.size() && std::isalnum((unsigned char)text[i])) ++i;
      std::string word = text.substr(start, i - start);
      if (!word.empty() && (word.back() == 'L' || word.back() == 'l')) word.pop_back();
      char* end = nullptr;
      unsigned long value = std::strtoul(word.c_str(), &end, 0);
      if (*end != '\0' || value > 0xFFFFFFFFul) RcFail(rc, line, "bad number '" + word + "'");
      rc.tokens.push_back({RcToken::NUMBER, word, (uint32_t)value, line});
    } else if (std::isalpha((unsigned char)c) || c == '_') {
      size_t start = i;
      while (i < text.size() && (std::isalnum((unsigned char)text[i]) || text[i] == '_')) ++i;
      rc.tokens.push_back({RcToken::WORD, text.substr(start, i - start), 0, line});
    } else if (std::strchr(",|", c)) {
      rc.tokens.push_back({RcToken::PUNCT, std::string(1, c), 0, line});
      ++i;
    } else {
      RcFail(rc, line, std::string("unexpected character '") + c + "'");
    }
  }
  rc.tokens.push_back({RcToken::END, "", 0, line});
}

const RcToken& RcPeek(const RcScript& rc) { return rc.tokens[rc.next]; }

const RcToken& RcTake(RcScript& rc) {
  const RcToken& t = rc.tokens[rc.next];
  if (t.kind != RcToken::END) ++rc.next;
  return t;
}

bool RcTakeIf(RcScript& rc, RcToken::Kind kind, const char* text) {
  const RcToken& t = RcPeek(rc);
  if (t.kind != kind || t.text != text) return false;
  RcTake(rc);
  return true;
}

void RcExpect(RcScript& rc, RcToken::Kind kind, const char* text) {
  if (!RcTakeIf(rc, kind, text)) RcFail(rc, RcPeek(rc).line, std::string("expected '") + text + "'");
}

std::string RcTakeString(RcScript& rc) {
  const RcToken& t = RcTake(rc);
  if (t.kind != RcToken::STRING) RcFail(rc, t.line, "expected a quoted string");
  return t.text;
}

uint32_t RcTakeTerm(RcScript& rc) {
  const RcToken& t = RcTake(rc);
  if (t.kind == RcToken::NUMBER) return t.number;
  if (t.kind == RcToken::WORD) {
    auto it = rcConstants.find(t.text);
    if (it != rcConstants.end()) return it->second;
    RcFail(rc, t.line, "unknown constant '" + t.text + "'");
  }
  RcFail(rc, t.line, "expected a number");
}

// A flag expression: terms joined by '|'.
uint32_t RcTakeFlags(RcScript& rc) {
  uint32_t value = RcTakeTerm(rc);
  while (RcTakeIf(rc, RcToken::PUNCT, "|")) value |= RcTakeTerm(rc);
  return value;
}

// ---- Output helpers ----------------------------------------------------------------------

void RcPut16(Bytes& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}

void RcPut32(Bytes& out, uint32_t v) {
  RcPut16(out, v & 0xFFFF);
  RcPut16(out, v >> 16);
}

// UTF-16LE, NUL-terminated; the script's text is ASCII or UTF-8 (decoded to the BMP).
void RcPutWide(Bytes& out, const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char c = text[i];
    uint32_t cp = c;
    int extra = c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra) cp = c & (extra == 2 ? 0x0F : 0x1F);
    for (int k = 1; k <= extra && i + k < text.size(); ++k) cp = (cp << 6) | (text[i + k] & 0x3F);
    i += 1 + extra;
    RcPut16(out, cp);
  }
  RcPut16(out, 0);
}

uint32_t RcGet16(const Bytes& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t RcGet32(const Bytes& b, size_t at) { return RcGet16(b, at) | (RcGet16(b, at + 2) << 16); }

Bytes RcReadFile(RcScript& rc, int line, const std::string& name) {
  std::string path = name.size() && name[0] == '/' ? name : rc.dir + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) RcFail(rc, line, "cannot open '" + path + "'");
  rc.inputs.push_back(path);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void RcAdd(RcScript& rc, uint16_t type, const RcName& name, Bytes data) {
  rc.resources.push_back({type, name, rc.language, std::move(data)});
}

// ---- Statements --------------------------------------------------------------------------

void RcParseDialog(RcScript& rc, const RcName& name) {
  int16_t box[4];
  for (int i = 0; i < 4; ++i) {
    if (i) RcExpect(rc, RcToken::PUNCT, ",");
    box[i] = (int16_t)RcTakeTerm(rc);
  }
  uint32_t helpId = RcTakeIf(rc, RcToken::PUNCT, ",") ? RcTakeTerm(rc) : 0;
  uint32_t style = 0, exStyle = 0;
  std::string caption, face;
  uint32_t pointSize = 0, weight = 0, italic = 0, charset = 1;
  bool hasFont = false;
  for (;;) {
    const RcToken& t = RcTake(rc);
    if (t.kind != RcToken::WORD) RcFail(rc, t.line, "expected a dialog statement or BEGIN");
    if (t.text == "STYLE") {
      style = RcTakeFlags(rc);
    } else if (t.text == "EXSTYLE") {
      exStyle = RcTakeFlags(rc);
    } else if (t.text == "CAPTION") {
      caption = RcTakeString(rc);
    } else if (t.text == "FONT") {
      hasFont = true;
      pointSize = RcTakeTerm(rc);
      RcExpect(rc, RcToken::PUNCT, ",");
      face = RcTakeString(rc);
      if (RcTakeIf(rc, RcToken::PUNCT, ",")) weight = RcTakeTerm(rc);
      if (RcTakeIf(rc, RcToken::PUNCT, ",")) italic = RcTakeTerm(rc);
      if (RcTakeIf(rc, RcToken::PUNCT, ",")) charset = RcTakeTerm(rc);
    } else if (t.text == "BEGIN") {
      break;
    } else {
      RcFail(rc, t.line, "unsupported dialog statement '" + t.text + "'");
    }
  }
  if (!RcTakeIf(rc, RcToken::WORD, "END")) RcFail(rc, RcPeek(rc).line, "dialog controls are not supported");
  if (hasFont) style |= RC_DS_SETFONT;

  Bytes out;
  RcPut16(out, 1);
  RcPut16(out, 0xFFFF);
  RcPut32(out, helpId);
  RcPut32(out, exStyle);
  RcPut32(out, style);
  RcPut16(out, 0);  // no controls
  for (int16_t v : box) RcPut16(out, (uint16_t)v);
  RcPut16(out, 0);  // no menu
  RcPut16(out, 0);  // the standard dialog class
  RcPutWide(out, caption);
  if (style & RC_DS_SETFONT) {
    RcPut16(out, pointSize);
    RcPut16(out, weight);
    out.push_back((unsigned char)italic);
    out.push_back((unsigned char)charset);
    RcPutWide(out, face);
  }
  RcAdd(rc, RC_DIALOG, name, std::move(out));
}

// Checks one icon/cursor image: a BMP-format DIB (header, colour table, colour rows, 1-bit
// mask, height doubled) or a PNG. Returns an empty string when it is sound.
std::string RcCheckImage(const Bytes& file, size_t offset, size_t size, unsigned width, unsigned height) {
  static const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (size >= 8 && std::memcmp(&file[offset], pngSignature, 8) == 0) return "";
  if (size < 40 || RcGet32(file, offset) != 40) return "image is neither a 40-byte-header DIB nor a PNG";
  int32_t w = (int32_t)RcGet32(file, offset + 4), h = (int32_t)RcGet32(file, offset + 8);
  unsigned planes = RcGet16(file, offset + 12), bits = RcGet16(file, offset + 14);
  if (w != (int32_t)width || h != 2 * (int32_t)height) return "image size does not match its directory entry";
  if (planes != 1) return "image has more than one plane";
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return "unsupported bit count " + std::to_string(bits);
  uint32_t colours = RcGet32(file, offset + 32);
  if (bits <= 8 && colours == 0) colours = 1u << bits;
  if (bits > 8) colours = 0;
  uint64_t need = 40 + 4ull * colours + (uint64_t)((width * bits + 31) / 32 * 4) * height +
                  (uint64_t)((width + 31) / 32 * 4) * height;
  if (need > size) return "image data is shorter than its header says";
  return "";
}

// An .ico or .cur file: one image resource per entry, then the group directory.
void RcParseIconFile(RcScript& rc, const RcName& name, int line, bool cursor) {
  std::string file = RcTakeString(rc);
  Bytes data = RcReadFile(rc, line, file);
  auto bad = [&](const std::string& why) { RcFail(rc, line, "'" + file + "': " + why); };
  unsigned kind = cursor ? 2 : 1;
  if (data.size() < 6 || RcGet16(data, 0) != 0 || RcGet16(data, 2) != kind)
    bad(cursor ? "not a cursor file" : "not an icon file");
  unsigned count = RcGet16(data, 4);
  if (count == 0) bad("holds no image");
  if (data.size() < 6 + 16ull * count) bad("directory runs past the end of the file");

  Bytes group;
  RcPut16(group, 0);
  RcPut16(group, kind);
  RcPut16(group, count);
  for (unsigned i = 0; i < count; ++i) {
    size_t e = 6 + 16 * i;
    unsigned width = data[e] ? data[e] : 256, height = data[e + 1] ? data[e + 1] : 256;
    unsigned field1 = RcGet16(data, e + 4), field2 = RcGet16(data, e + 6);  // planes/bits, or hot spot
    uint32_t size = RcGet32(data, e + 8), offset = RcGet32(data, e + 12);
    if (size == 0 || offset > data.size() || size > data.size() - offset) bad("image lies outside the file");
    std::string why = RcCheckImage(data, offset, size, width, height);
    if (!why.empty()) bad(why);

    Bytes image;
    uint16_t id = cursor ? rc.nextCursorId++ : rc.nextIconId++;
    if (cursor) {
      RcPut16(image, field1);  // hot spot x
      RcPut16(image, field2);  // hot spot y
    }
    image.insert(image.end(), data.begin() + offset, data.begin() + offset + size);
    bool png = RcGet32(data, offset) != 40;
    unsigned planes = png ? 1 : RcGet16(data, offset + 12), bits = png ? 32 : RcGet16(data, offset + 14);
    if (cursor) {
      RcPut16(group, width);
      RcPut16(group, height * 2);
      RcPut16(group, planes);
      RcPut16(group, bits);
    } else {
      group.push_back(data[e]);
      group.push_back(data[e + 1]);
      group.push_back(data[e + 2]);
      group.push_back(0);
      RcPut16(group, field1 ? field1 : planes);
      RcPut16(group, field2 ? field2 : bits);
    }
    RcPut32(group, (uint32_t)image.size());
    RcPut16(group, id);
    RcAdd(rc, cursor ? RC_CURSOR : RC_ICON, RcName{id, ""}, std::move(image));
  }
  RcAdd(rc, cursor ? RC_GROUP_CURSOR : RC_GROUP_ICON, name, std::move(group));
}

void RcParseStatement(RcScript& rc) {
  const RcToken& first = RcTake(rc);
  int line = first.line;
  if (first.kind == RcToken::WORD && first.text == "LANGUAGE") {
    uint32_t primary = RcTakeTerm(rc);
    RcExpect(rc, RcToken::PUNCT, ",");
    uint32_t sub = RcTakeTerm(rc);
    rc.language = (uint16_t)((sub << 10) | primary);
    return;
  }
  RcName name;
  if (first.kind == RcToken::NUMBER && first.number <= 0xFFFF)
    name = {(uint16_t)first.number, ""};
  else if (first.kind == RcToken::WORD)
    name = {0, first.text};
  else
    RcFail(rc, line, "expected a resource name or id");

  const RcToken& type = RcTake(rc);
  if (type.kind == RcToken::WORD && type.text == "DIALOGEX") return RcParseDialog(rc, name);
  if (type.kind == RcToken::WORD && type.text == "ICON") return RcParseIconFile(rc, name, line, false);
  if (type.kind == RcToken::WORD && type.text == "CURSOR") return RcParseIconFile(rc, name, line, true);
  uint16_t typeId;
  if (type.kind == RcToken::WORD && type.text == "RCDATA")
    typeId = RC_RCDATA;
  else if (type.kind == RcToken::NUMBER && type.number > 0 && type.number <= 0xFFFF)
    typeId = (uint16_t)type.number;
  else if (type.kind == RcToken::WORD && rcConstants.count(type.text) && type.text.rfind("RT_", 0) == 0)
    typeId = (uint16_t)rcConstants.at(type.text);
  else
    RcFail(rc, type.line, "unsupported resource type '" + type.text + "'");
  std::string file = RcTakeString(rc);
  RcAdd(rc, typeId, name, RcReadFile(rc, line, file));
}

// ---- Writing the table -------------------------------------------------------------------

std::string RcCString(const std::string& s) {
  if (s.empty()) return "nullptr";
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string RcWriteTable(const RcScript& rc) {
  std::ostringstream out;
  out << "// Generated by tools/rescomp from " << rc.path << "; do not edit.\n"
      << "#include \"platform/resource_table.h\"\n\nnamespace {\n";
  for (size_t i = 0; i < rc.resources.size(); ++i) {
    const Bytes& d = rc.resources[i].data;
    if (d.empty()) continue;
    out << "const unsigned char resource" << i << "[" << d.size() << "] = {";
    for (size_t k = 0; k < d.size(); ++k) out << (k % 24 ? "" : "\n") << (unsigned)d[k] << ',';
    out << "\n};\n";
  }
  out << "const PlatResourceEntry entries[] = {\n";
  for (size_t i = 0; i < rc.resources.size(); ++i) {
    const RcResource& r = rc.resources[i];
    out << "    {" << r.type << ", nullptr, " << r.name.id << ", " << RcCString(r.name.text) << ", "
        << r.language << ", " << (r.data.empty() ? "nullptr" : "resource" + std::to_string(i)) << ", "
        << r.data.size() << "},\n";
  }
  out << "};\n}  // namespace\n\n"
      << "const PlatResourceTable* PlatEmbeddedResources(void) {\n"
      << "  static const PlatResourceTable table = {entries, " << rc.resources.size() << "};\n"
      << "  return &table;\n}\n";
  return out.str();
}

bool RcWriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return (bool)out.flush();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: rescomp <script.rc> <table.cpp> [<depfile>]\n");
    return 2;
  }
  RcScript rc{argv[1], "", {}, 0, {}, {}, 1033, 1, 1};
  size_t slash = rc.path.rfind('/');
  rc.dir = slash == std::string::npos ? "" : rc.path.substr(0, slash + 1);
  std::ifstream in(rc.path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "rescomp: cannot open '%s'\n", rc.path.c_str());
    return 1;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  RcTokenize(rc, text);
  while (RcPeek(rc).kind != RcToken::END) RcParseStatement(rc);

  if (!RcWriteFile(argv[2], RcWriteTable(rc))) {
    std::fprintf(stderr, "rescomp: cannot write '%s'\n", argv[2]);
    return 1;
  }
  if (argc == 4) {
    std::string deps = std::string(argv[2]) + ":";
    for (const std::string& input : rc.inputs) deps += " " + input;
    if (!RcWriteFile(argv[3], deps + "\n")) {
      std::fprintf(stderr, "rescomp: cannot write '%s'\n", argv[3]);
      return 1;
    }
  }
  return 0;
}
