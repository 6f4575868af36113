// The members of demo.dat: the eight scenes under "3ds\", then the
// textures and the effect pictures under "textures\".
#include "content/content_build.h"
#include "content/effect_pictures.h"
#include "content/scene_to_tds.h"
#include "content/scenes.h"
#include "content/textures.h"

bool MakeLibraryMembers(std::vector<LibraryMember>* members, std::string* error) {
  members->clear();
  for (const NamedScene& named : BuildAllScenes()) {
    std::vector<uint8_t> bytes = WriteSceneFile(named.scene, error);
    if (bytes.empty()) {
      *error = named.name + ": " + *error;
      return false;
    }
    members->push_back({"3ds\\" + named.name + ".3DS", std::move(bytes)});
  }
  for (LibraryMember& texture : MakeTextures()) members->push_back(std::move(texture));
  return MakeEffectPictures(members, error);
}
