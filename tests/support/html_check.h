// Test support: a strict reader of the HTML that modpublish-check writes,
// for the unit tests and the fuzzer. It accepts a small subset of HTML in
// which nothing from a mod can hide: every element closed in order, every
// attribute quoted, every "&" in text a known character reference (in an
// attribute value also a bare "&" that no name, number or "#" follows,
// which no browser reads as a reference), no script, no event attribute,
// no element that loads anything, links to web addresses and to the page
// itself only, valid UTF-8 throughout.
#ifndef MODPUBLISH_TESTS_SUPPORT_HTML_CHECK_H_
#define MODPUBLISH_TESTS_SUPPORT_HTML_CHECK_H_

#include <string>
#include <string_view>

// What is wrong with `html`, a fragment of elements and text (no doctype
// needed), or "" when it is well-formed in the sense above. With
// `document`, it must be a whole page: "<!DOCTYPE html>" and one <html>
// element. With `remotePictures`, <img> may load a picture of an https:
// address, and nothing else.
std::string HtmlProblem(std::string_view html, bool document, bool remotePictures = false);

// "" when `html` holds `part`; else a message for a failed test: the
// longest start of `part` that `html` holds and what follows it there, so
// that the first byte that differs shows, and then the whole of `html`.
std::string MissingFrom(std::string_view html, std::string_view part);

// The text of a well-formed fragment as a reader sees it: the tags left out
// but <br>, which is a line end, and the character references replaced by
// their characters.
std::string VisibleText(std::string_view html);

#endif  // MODPUBLISH_TESTS_SUPPORT_HTML_CHECK_H_
