#pragma once

// Which cells a trajectory counts as passed: every cell each straight
// segment between its recorded points crosses, or only the cells of the
// recorded points (runs before the crossing count; gaps between points read
// 0 where segments are longer than the cell).
enum class cellCounting { crossedCells, recordedPoints };

// The settings of a run, as the controller holds them; the defaults are the
// settings table's (controller/settingsTable.cpp).
struct simulationSettings
{
    double segmentLength = 5.0;      // m
    int numberOfSimulations = 100;   // per start cell
    int maxDeviationAngle = 22;      // degrees
    double profileStep = 1.0;        // m
    int probabilityClass = 0;        // propagation probability class 0, 1, 2
    double initialFallHeight = 0.0;  // m
    bool saveTrajectories = false;
    cellCounting counting = cellCounting::crossedCells;
};
