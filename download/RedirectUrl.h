#pragma once
// Where a redirect leads: the Location header's value resolved against the URL that answered.
#include <string>
#include <string_view>

// `location` as an absolute URL. An absolute Location ("https://host/x") is kept; a relative one is
// resolved against `current` the way a browser does: "//host/x" keeps the scheme, "/f/x" keeps
// scheme and host, "x" and "../x" are taken from the folder of the current path, "?q" keeps the
// path. Dot segments ("." and "..") of a relative Location are removed; the current URL's
// fragment is never carried over.
std::wstring ResolveRedirect(std::wstring_view current, std::wstring_view location);

// "/a/b/../c/./d" -> "/a/c/d"; ".." never climbs above the root.
std::wstring RemoveDotSegments(std::wstring_view path);

// True for an "https:" URL (any case).
bool IsHttps(std::wstring_view url);

// True when a redirect from `from` to `to` leaves HTTPS for a scheme without TLS. Such a redirect
// is refused: what came back would be started as a program.
bool IsDowngradingRedirect(std::wstring_view from, std::wstring_view to);

// The text of a refused downgrading redirect.
std::wstring DowngradeRefusedText(std::wstring_view to);
