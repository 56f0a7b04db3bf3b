#include "library/SearchText.h"

#include <algorithm>
#include <cstdint>

namespace vendrix::library {
namespace {

enum class Class { kSeparator, kWordChar, kCharacter };

struct Decoded {
  Class type = Class::kSeparator;
  char ascii = 0;   // kWordChar: the character as lower-case ASCII
  size_t size = 1;  // bytes taken from the text
};

bool IsSeparator(uint32_t c) {
  // Punctuation and symbols, wherever they sit in Unicode, as far as titles and nicks on the
  // platform use them: Latin-1's, general punctuation to the miscellaneous symbols (★, →, ①),
  // CJK punctuation (、。【】「」, but 々 and 〇 are characters), the full-width and small forms
  // (！，（）￥), and emoji.
  return (c >= 0x80 && c <= 0xBF) || c == 0xD7 || c == 0xF7 || (c >= 0x2000 && c <= 0x2BFF) ||
         (c >= 0x3000 && c <= 0x303F && c != 0x3005 && c != 0x3006 && c != 0x3007) ||
         (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xFE00 && c <= 0xFE6F) ||
         (c >= 0xFF00 && c <= 0xFF65) || (c >= 0xFFE0 && c <= 0xFFFF) ||
         (c >= 0x1F000 && c <= 0x1FAFF) || c >= 0xE0000;
}

// The character at the start of `text` (not empty) and its class.
Decoded Decode(std::string_view text) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(0);
  Decoded d;
  if (lead < 0x80) {
    char c = static_cast<char>(lead);
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      d.type = Class::kWordChar;
      d.ascii = c;
    }
    return d;
  }
  size_t size = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (size == 0 || lead > 0xF4 || text.size() < size) return d;  // not UTF-8: one byte skipped
  uint32_t c = lead & (size == 2 ? 0x1F : size == 3 ? 0x0F : 0x07);
  for (size_t i = 1; i < size; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return d;
    c = (c << 6) | (byte(i) & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
  if ((size == 3 && c < 0x800) || (size == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
      (c >= 0xD800 && c <= 0xDFFF)) {
    return d;
  }
  d.size = size;
  if (c >= 0xFF10 && c <= 0xFF19) {
    d.type = Class::kWordChar;
    d.ascii = static_cast<char>('0' + (c - 0xFF10));
  } else if ((c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A)) {
    d.type = Class::kWordChar;
    d.ascii = static_cast<char>('a' + (c - (c >= 0xFF41 ? 0xFF41 : 0xFF21)));
  } else if (!IsSeparator(c)) {
    d.type = Class::kCharacter;
  }
  return d;
}

// Calls `piece` with each piece of `utf8`: runs with their characters, words in lower case.
template <typename OnPiece>
void ForEachPiece(std::string_view utf8, OnPiece piece) {
  std::vector<std::string_view> run;  // the characters of the current run
  std::string word;
  auto end_run = [&] {
    if (!run.empty()) piece(SearchPiece{true, {}, run.size()}, run, word);
    run.clear();
  };
  auto end_word = [&] {
    if (!word.empty()) piece(SearchPiece{false, word, word.size()}, run, word);
    word.clear();
  };
  size_t at = 0;
  while (at < utf8.size()) {
    Decoded d = Decode(utf8.substr(at));
    if (d.type == Class::kCharacter) {
      end_word();
      run.push_back(utf8.substr(at, d.size));
    } else if (d.type == Class::kWordChar) {
      end_run();
      word += d.ascii;
    } else {
      end_run();
      end_word();
    }
    at += d.size;
  }
  end_run();
  end_word();
}

}  // namespace

std::string SearchWords(std::string_view utf8) {
  std::string out;
  auto add = [&out](std::string_view a, std::string_view b = {}) {
    if (!out.empty()) out += ' ';
    out += a;
    out += b;
  };
  ForEachPiece(utf8, [&](const SearchPiece& piece, const std::vector<std::string_view>& run,
                         const std::string& word) {
    if (!piece.characters) {
      add(word);
      return;
    }
    for (size_t i = 0; i + 1 < run.size(); ++i) add(run[i], run[i + 1]);
    add(run.back());
  });
  return out;
}

std::vector<SearchPiece> SearchPieces(std::string_view utf8) {
  std::vector<SearchPiece> pieces;
  ForEachPiece(
      utf8, [&](SearchPiece piece, const std::vector<std::string_view>& run, const std::string&) {
        for (std::string_view c : run) piece.text += c;
        pieces.push_back(std::move(piece));
      });
  return pieces;
}

std::vector<IndexTerm> IndexTerms(const SearchPiece& piece) {
  if (!piece.characters || piece.length == 1) return {{piece.text, true}};
  // The characters of the run, to pair them up.
  std::vector<std::string_view> chars;
  std::string_view text = piece.text;
  while (!text.empty()) {
    size_t size = Decode(text).size;
    chars.push_back(text.substr(0, size));
    text.remove_prefix(size);
  }
  std::vector<IndexTerm> terms;
  for (size_t i = 0; i + 1 < chars.size(); ++i) {
    std::string pair(chars[i]);
    pair += chars[i + 1];
    bool seen = false;
    for (const IndexTerm& t : terms) seen = seen || t.word == pair;
    if (!seen) terms.push_back({pair, false});
  }
  return terms;
}

bool NeedsTextCheck(const SearchPiece& piece) { return piece.characters && piece.length > 2; }

std::string IndexQuery(const std::vector<SearchPiece>& pieces, bool exact_only) {
  std::string query;
  for (const SearchPiece& piece : pieces) {
    for (const IndexTerm& term : IndexTerms(piece)) {
      if (exact_only && term.prefix) continue;
      // Terms hold no quotes (they separate runs): quoting makes each a plain string.
      if (!query.empty()) query += ' ';
      query += '"' + term.word + '"';
      if (term.prefix) query += '*';
    }
  }
  return query;
}

namespace {

// Whether `value` may hold `piece`, looked at quickly: a run is in a value only as it stands,
// a word only as its letters in some case, unless the value has full-width forms.
bool MayHold(std::string_view value, const SearchPiece& piece) {
  if (piece.characters) return value.find(piece.text) != std::string_view::npos;
  if (value.find("\xEF\xBC") != std::string_view::npos ||
      value.find("\xEF\xBD") != std::string_view::npos) {
    return true;
  }
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  auto found = std::search(value.begin(), value.end(), piece.text.begin(), piece.text.end(),
                           [&](char a, char b) { return lower(a) == b; });
  return found != value.end();
}

}  // namespace

bool TextMatches(const std::vector<SearchPiece>& pieces,
                 const std::vector<std::string_view>& values) {
  // Most texts lack a piece altogether: that is found without reading their words.
  for (const SearchPiece& piece : pieces) {
    bool may = false;
    for (std::string_view value : values) may = may || MayHold(value, piece);
    if (!may) return false;
  }
  return PiecesHeld(pieces, values, nullptr);
}

bool PiecesHeld(const std::vector<SearchPiece>& pieces,
                const std::vector<std::string_view>& values, std::vector<int64_t>* holding) {
  std::vector<bool> may(pieces.size(), false);
  bool any = false;
  bool all = true;
  for (size_t i = 0; i < pieces.size(); ++i) {
    for (std::string_view value : values) may[i] = may[i] || MayHold(value, pieces[i]);
    any = any || may[i];
    all = all && may[i];
  }
  if (!any || (!all && holding == nullptr)) return false;
  // Line breaks between the values, so that no run spans two of them.
  std::string text;
  for (std::string_view value : values) text.append(value).append("\n");
  const std::string words = " " + SearchWords(text) + " ";
  bool held_all = true;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const SearchPiece& piece = pieces[i];
    bool held = may[i];
    for (const IndexTerm& term : IndexTerms(piece)) {
      if (!held) break;
      std::string needle = " " + term.word + (term.prefix ? "" : " ");
      held = words.find(needle) != std::string::npos;
    }
    if (held && NeedsTextCheck(piece)) {
      bool found = false;
      for (std::string_view value : values) found = found || value.find(piece.text) != value.npos;
      held = found;
    }
    if (held && holding != nullptr) ++(*holding)[i];
    held_all = held_all && held;
    if (!held_all && holding == nullptr) return false;
  }
  return held_all;
}

}  // namespace vendrix::library
