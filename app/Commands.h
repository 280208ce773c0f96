// The commands of the geodraft application; each lives in its own cmd_*.cpp file.
#pragma once

// argc/argv hold the command's own arguments (argv[0] is the command name).
int cmdSession(int argc, char** argv);
int cmdContours(int argc, char** argv);
int cmdModel(int argc, char** argv);
int cmdCloudExport(int argc, char** argv);
int cmdLasInfo(int argc, char** argv);
int cmdDedupe(int argc, char** argv);
int cmdExport(int argc, char** argv);
int cmdServe(int argc, char** argv);
