#pragma once

// Control and command ids of the program's windows. Every widget carries its id as
// its object name (see SetControlId) so that code and tests find it by number.
namespace Ids {

// Main window controls
constexpr int TopStrip = 1000;
constexpr int BottomStrip = 1002;
constexpr int MenuBar = 59398;
constexpr int StatusBar = 59393;
constexpr int ParamGrid = 1005;
constexpr int PreviewFrame = 1006;
constexpr int InfoEdit = 1008;
constexpr int StopTime = 1001;
constexpr int StartTime = 1014;
constexpr int ProfileCombo = 1038;
constexpr int DetailButton = 1039;
constexpr int DestinationEdit = 1040;
constexpr int ConvertAll = 1045;
constexpr int TaskList = 1047;
constexpr int ProfileLabel = 1048;
constexpr int DestinationLabel = 1049;
constexpr int ProgressBar = 1062;
constexpr int AddFileButton = 1068;
constexpr int PreviewArea = 1177;
constexpr int UpButton = 1178;
constexpr int DownButton = 1179;
constexpr int TimeLabel = 1182;
constexpr int SetStart = 1183;
constexpr int SetStop = 1184;
constexpr int PositionSlider = 1185;
constexpr int ConvertSelected = 1186;
constexpr int Separator2 = 1188;
constexpr int InputLabel = 1189;
constexpr int PreviewStop = 1192;
constexpr int PreviewPlay = 1194;
constexpr int PreviewPause = 1195;
constexpr int StopConvert = 1204;
constexpr int Explore = 1044;
constexpr int Separator1 = 1207;
constexpr int HiddenEdit1078 = 1078;
constexpr int HiddenEdit1007 = 1007;
constexpr int RowProgress = 1025;

// About box; the icon and text ids are our own, the link is 1105.
constexpr int AboutBox = 100;
constexpr int IdOk = 1;
constexpr int AboutIcon = 1101;
constexpr int AboutVersion = 1102;
constexpr int AboutCopyright = 1103;
constexpr int AboutLink = 1105;

// Commands
constexpr int SysAbout = 16;
constexpr int AddFile = 32771;
constexpr int ViewPreview = 32772;
constexpr int SaveTask = 32773;
constexpr int Play = 32777;
constexpr int Delete = 32778;
constexpr int TaskInfoButton = 32779;
constexpr int Options = 32781;
constexpr int Property = 32791;
constexpr int About = 32794;
constexpr int Feedback = 32797;
constexpr int TaskInfo = 32799;
constexpr int Contents = 32800;
constexpr int PlayConverted = 32809;
constexpr int AddConvertedAsTasks = 32811;
constexpr int OpenConvertedFolder = 32812;
constexpr int LookFirst = 32833; // looks run from 32833 to 32842
constexpr int LookOffice2000 = 32833;
constexpr int LookOfficeXP = 32834;
constexpr int LookOffice2003 = 32835;
constexpr int LookWindowsXP = 32836;
constexpr int LookVS2005 = 32837;
constexpr int LookBlue = 32838;
constexpr int LookBlack = 32839;
constexpr int LookSilver = 32840;
constexpr int LookAqua = 32841;
constexpr int LookVS2008 = 32842;
constexpr int LookLast = 32842;
constexpr int PauseConvert = 32900;    // menu item and toolbar button
constexpr int RemoveCompleted = 32901; // menu item and toolbar button
constexpr int LangEnglish = 32861;
constexpr int LangChineseSimplified = 32862;
constexpr int LangChineseTraditional = 32863;
constexpr int LangJapan = 32864;
constexpr int LangGerman = 32865;
constexpr int LangFrench = 32866;
constexpr int LangSpanish = 32867;
constexpr int FileOpen = 57601;
constexpr int SelectAll = 57642;
constexpr int Exit = 57665;
constexpr int HelpKey = 57670;

// Menus
constexpr int MainMenu = 128;
constexpr int ListContextMenu = 105;

} // namespace Ids
