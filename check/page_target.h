// Where modpublish-check's page may not be written: over a file of the mod,
// or anywhere inside the mod folder, which modpublish uploads whole.
#ifndef MODPUBLISH_CHECK_PAGE_TARGET_H_
#define MODPUBLISH_CHECK_PAGE_TARGET_H_

#include <string>
#include <vector>

// Why the page must not be written to `page`, or "" when it may: `page` is
// one of `modFiles` (descript.ion, the preview, a description file: the
// page would overwrite it), or it lies inside the folder `folder` (the page
// would be uploaded as the mod's content). Files are told apart by what
// they are, not by how they are named, so links and other spellings of a
// path count too. The message names `page` and says where to write it
// instead.
std::string PageTargetProblem(const std::string& page, const std::string& folder,
                              const std::vector<std::string>& modFiles);

#endif  // MODPUBLISH_CHECK_PAGE_TARGET_H_
