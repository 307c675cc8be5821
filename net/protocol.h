#pragma once

#include <QString>

namespace shoulu {

// What the program and the maker's services agree on; the stand-in service uses the same.
inline constexpr char kQueryPath[] = "/index.php/Index/web_collection";
inline constexpr char kVersionPath[] = "/index.php/Index/soft_version";
inline constexpr char kUpdatePagePath[] = "/index.php/Works/detail/sid/";
inline constexpr char kProductId[] = "tandri";

// The 32-character token that signs the query of domain.
QString QueryToken(const QString &domain);

// baseUrl, the query path, "?url=" with domain and "&token=" with its token. Only the characters
// that would end or alter the url value are escaped, so a plain domain goes out as it reads.
QString QueryUrl(const QString &baseUrl, const QString &domain);

// The version check's form body: "sn=" and the product id.
QString VersionRequestBody();

// The program's own version, "major.minor.revision", from the build.
QString BuiltInVersion();

} // namespace shoulu
