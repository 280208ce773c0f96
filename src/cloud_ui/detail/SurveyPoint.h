// The project's georeference as the point-cloud palette reads it: graded like the import palette's reading.
#pragma once

namespace cloudui::detail {

struct SurveyPoint {
    int quality = 0;  // 0 none, 1 approximate (project location only), 2 exact (survey point)
    double east = 0.0;
    double north = 0.0;
    double rotation = 0.0;  // radians
    int epsg = 2180;        // system of east/north
};

// Reads the host's geolocation record: the survey point when set, else the project location in PL-1992.
SurveyPoint readSurveyPoint();

}  // namespace cloudui::detail
