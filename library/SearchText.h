// How the library's search reads text: the words of a title, nick or id that its index
// holds, and the pieces a search is made of. Chinese (and any other text written without
// blanks) is indexed as overlapping pairs of characters, so that a search finds it anywhere,
// two-character words such as 女装 included; ASCII letters and digits as words, found by
// their start, letter case and full-width forms ignored. Pure functions, safe on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix::library {

// The index words of `utf8`, separated by single blanks. Each run of characters written
// without blanks gives its pairs of neighbouring characters and then its last character
// alone (a run of one character gives just that); each run of ASCII letters and digits (the
// full-width ones read as ASCII) gives itself in lower case. Blanks, punctuation, symbols,
// control characters and bytes that are not UTF-8 separate runs. Changing what this returns
// changes the index: it needs a new schema version that rebuilds it.
std::string SearchWords(std::string_view utf8);

// One piece of a search text, as SearchWords reads it.
struct SearchPiece {
  bool characters = false;  // a run of characters; else a word of ASCII letters and digits
  std::string text;         // the run, or the word in lower case
  size_t length = 0;        // characters in `text`
};

// The pieces of a search text, in its order; none when it holds nothing to look for (blanks,
// punctuation and symbols only). A text matches a search when every piece is in it: a run
// anywhere in a run of the text, a word at the start of a word of the text.
std::vector<SearchPiece> SearchPieces(std::string_view utf8);

// The index words a piece needs, each with whether the index word only has to start with it.
// A word, and a run of one character, are the start of an index word (the run's character
// starts its pairs, or stands alone at the end of a run); a run of two is its pair; a longer
// run needs all its pairs, and then its text found as it stands (NeedsTextCheck), since the
// pairs may lie apart.
struct IndexTerm {
  std::string word;
  bool prefix = false;
};
std::vector<IndexTerm> IndexTerms(const SearchPiece& piece);
bool NeedsTextCheck(const SearchPiece& piece);

// The FTS5 query that finds every text holding all the index words of `pieces` (each
// quoted, "*" after those found by their start); empty for no pieces. With `exact_only`, only
// the words that are not found by their start (the pairs of runs of two or more characters):
// a query the index answers without gathering every word that starts alike.
std::string IndexQuery(const std::vector<SearchPiece>& pieces, bool exact_only = false);

// Whether `values` (a title, a nick, an id...) hold every piece of `pieces`: the definition of
// a match, which the index only narrows down.
bool TextMatches(const std::vector<SearchPiece>& pieces,
                 const std::vector<std::string_view>& values);
// TextMatches, which also counts in `holding` (one count a piece; nullptr: none) each piece
// the values hold, reading their words once for all the pieces.
bool PiecesHeld(const std::vector<SearchPiece>& pieces,
                const std::vector<std::string_view>& values, std::vector<int64_t>* holding);

}  // namespace vendrix::library
