// The eight scenes in the demo's slot order.
#include "content/scenes.h"

std::vector<NamedScene> BuildAllScenes() {
  std::vector<NamedScene> all;
  all.push_back({"intro", BuildIntroScene()});
  all.push_back({"mainscene", BuildMainScene()});
  all.push_back({"mountainworld", BuildMountainWorldScene()});
  all.push_back({"mountainhut", BuildMountainHutScene()});
  all.push_back({"planet_part1", BuildPlanetScene(1)});
  all.push_back({"planet_part2", BuildPlanetScene(2)});
  all.push_back({"planet_part3", BuildPlanetScene(3)});
  all.push_back({"stonehedge_fire", BuildStoneCircleScene()});
  return all;
}
