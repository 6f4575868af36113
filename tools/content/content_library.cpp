// The members of demo.dat: scenes, textures and effect pictures.
#include "content/content_build.h"
#include "content/effect_pictures.h"
#include "content/textures.h"

bool MakeLibraryMembers(std::vector<LibraryMember>* members, std::string* error) {
  members->clear();
  for (LibraryMember& texture : MakeTextures()) members->push_back(std::move(texture));
  return MakeEffectPictures(members, error);
}
