// The service simulator: what each header of sim/ provides.
#pragma once
#include "FaultPlan.h"     // Fault, FaultAction, FaultPlan: injected statuses, cuts, delays, exceptions, empty answers
#include "FeatureStore.h"  // SimFeature, FeatureStore, featureMeetsBox: PL-1992 features by type name
#include "ImageEncoder.h"  // RgbaImage, encodePng, encodeJpeg
#include "PlanningScenario.h"  // sim::planning municipalities and acts, addPlanWmsWithoutDrawingLayer
#include "PolandScenario.h"    // sim::poland places (zones 5 to 8) with county services of several behaviours
#include "RequestLog.h"        // LoggedRequest, RequestLog: every request received
#include "Scenario.h"          // Scenario (routes of data sets), SimHandler, generatedByte
#include "Scenarios.h"         // ScenarioEntry, scenarioTable, buildScenario, buildDemoScenario
#include "SimHttp.h"           // SimRequest, SimResponse, BodyGenerator, parseQuery, percentDecode
#include "SimProcess.h"        // SimProcess: geodraft-sim as a child process for end-to-end tests
#include "SimServer.h"         // SimServer: the loopback server
#include "WfsService.h"        // WfsService, BboxAxisOrder, owsExceptionReport, xmlEscape, epsgOfSystemText
#include "WmsService.h"        // WmsService, wmsExceptionReport
