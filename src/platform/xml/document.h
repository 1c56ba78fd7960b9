// An XML document (the DOM the system's XML needs: load, write, build, query).
//
//   platform::xml::Document doc;
//   if (!doc.LoadXml(text)) Log(doc.GetParseError().reason);
//   for (const auto& item : doc.SelectNodes("/packages//item[@feature='A']")) ...
//
// Document is a handle: copies refer to the same document, and the document
// lives while any handle to it or to one of its nodes does.
//
// Threading: an ordinary document belongs to the thread that uses it. A
// free-threaded document (Document::FreeThreaded(), or
// Document(Threading::kFree)) is the same document behind a mutex: every
// operation on it or on any of its nodes takes the lock, so it may be used
// from several threads at once.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/xml/node.h"

namespace platform::xml {

enum class Threading {
  kApartment,  // used by one thread at a time
  kFree,       // every operation locked
};

// Why the last load failed.
struct ParseError {
  int code = 0;            // 0: the load succeeded
  std::string reason;      // the parser's reason in words
  std::size_t offset = 0;  // byte offset in the text where it stopped
  bool Failed() const { return code != 0; }
  // "reason at offset N", or empty text when the load succeeded.
  std::string Describe() const;
};

class Document : public Node {
 public:
  // A new, empty document.
  explicit Document(Threading threading = Threading::kApartment);
  static Document FreeThreaded() { return Document(Threading::kFree); }

  bool IsFreeThreaded() const;

  // Replaces the content by the parsed text. On failure the document is
  // empty, the result is false and GetParseError() says why. The text must
  // be well-formed XML with exactly one document element. Whitespace between
  // elements is dropped; a whitespace text that is an element's only content
  // is kept; line ends are kept as they stand.
  bool LoadXml(std::string_view text);
  // The same, reading the text from a file; a file that cannot be read fails
  // with its reason.
  bool LoadFile(const std::filesystem::path& path);
  ParseError GetParseError() const;

  // The one element at the top level, or null.
  Node DocumentElement() const;
  // Puts element in the place of the document element (or appends it when
  // there is none); a node of another document is copied in.
  Node SetDocumentElement(const Node& element);

  // New nodes of this document, not yet in the tree. CreateElement gives
  // null when the name is not a valid XML name.
  Node CreateElement(std::string_view name) const;
  Node CreateTextNode(std::string_view text) const;
  Node CreateCDATASection(std::string_view text) const;
  Node CreateComment(std::string_view text) const;

 private:
  friend class Node;
  friend struct detail::NodeAccess;
  explicit Document(detail::DocumentState* state);
};

// True for a valid XML element or attribute name (prefixes allowed).
bool IsValidXmlName(std::string_view name);

}  // namespace platform::xml
