#pragma once

#include <QList>

#include "widgets/mapOverlay.h"

struct runResultGrids;

// The run's objects at risk as shapes over its map, each labelled by its
// name (its id where it has none), in the order of its outlines (by id).
QList<mapOverlayShape> objectOverlayShapes(const runResultGrids& result);
