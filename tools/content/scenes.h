// The eight scenes of the default content, one builder each, with the
// frame counts the demo's schedule plays.
#pragma once

#include <string>
#include <vector>

#include "content/scene_model.h"

struct NamedScene {
  std::string name;  // as the demo asks for it: "3ds\" + name + ".3DS"
  SceneSpec scene;
};

SceneSpec BuildIntroScene();           // a title: spinning rings around a crystal
SceneSpec BuildMainScene();            // the landscape hub, 1600 frames
SceneSpec BuildMountainWorldScene();   // flight over fractal mountains
SceneSpec BuildMountainHutScene();     // a hut among snowy mountains
SceneSpec BuildPlanetScene(int part);  // part 1 approach, 2 orbit, 3 leave
SceneSpec BuildStoneCircleScene();     // standing stones around a fire

// All eight in the demo's slot order.
std::vector<NamedScene> BuildAllScenes();
