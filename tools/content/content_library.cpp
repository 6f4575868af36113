// The members of demo.dat: scenes, textures and effect pictures.
#include "content/content_build.h"

bool MakeLibraryMembers(std::vector<LibraryMember>* members, std::string* error) {
  (void)error;
  members->clear();
  const std::string text = "Veyrith default content\n";
  members->push_back({"readme.txt", {text.begin(), text.end()}});
  return true;
}
