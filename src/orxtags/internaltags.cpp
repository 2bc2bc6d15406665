// The internal tags of the database daemon, as data, and the start-up steps that
// define them.
#include "orxtags/handles.h"
#include "orxtags/internaltags.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "sharedmem/tagaccess.h"
#include "sharedmem/tagdefs.h"

namespace {

constexpr int kNamedInternal = 1 << 27;                   // marks a named internal tag
constexpr int kGroupInternal = kNamedInternal | 1 << 12;  // ... that is a group tag

// Named internal tags in definition order. Handles 44 and 254 are also rows of the
// generated table: defined again here, they keep the Modbus entry of the first definition.
// Several history tags (KORA, timers) are not numbered in handle order.
constexpr InternalTagDefinition kInternalTags[] = {
    //handle exp  min    max  def  name                           unit  Modbus fmt config
    {1103,  0,    0,     0,   0, "vxi_timer1status",             "s",   -1, 2, kNamedInternal},
    {1104,  0,    0,     0,   0, "vxi_timer2status",             "s",   -1, 2, kNamedInternal},
    {1105,  0,    0,     0,   0, "vxi_timer3status",             "s",   -1, 2, kNamedInternal},
    {1106,  0,    0,     0,   0, "vxi_timer4status",             "s",   -1, 2, kNamedInternal},
    {1107,  0,    0,     0,   0, "vxi_timer5status",             "s",   -1, 2, kNamedInternal},
    {1108,  0,    0,     0,   0, "vxi_timer6status",             "s",   -1, 2, kNamedInternal},
    {1181,  0,    0,     0,   0, "vxi_timer7status",             "s",   -1, 2, kNamedInternal},
    {1183,  0,    0,     0,   0, "vxi_timer8status",             "s",   -1, 2, kNamedInternal},
    {1185,  0,    0,     0,   0, "vxi_timer9status",             "s",   -1, 2, kNamedInternal},
    {1187,  0,    0,     0,   0, "vxi_timer10status",            "s",   -1, 2, kNamedInternal},
    {1109,  0,    0,     0,   0, "vxi_timer1cstatus",            "",    -1, 2, kNamedInternal},
    {1110,  0,    0,     0,   0, "vxi_timer2cstatus",            "",    -1, 2, kNamedInternal},
    {1111,  0,    0,     0,   0, "vxi_timer3cstatus",            "",    -1, 2, kNamedInternal},
    {1112,  0,    0,     0,   0, "vxi_timer4cstatus",            "",    -1, 2, kNamedInternal},
    {1113,  0,    0,     0,   0, "vxi_timer5cstatus",            "",    -1, 2, kNamedInternal},
    {1114,  0,    0,     0,   0, "vxi_timer6cstatus",            "",    -1, 2, kNamedInternal},
    {1182,  0,    0,     0,   0, "vxi_timer7cstatus",            "",    -1, 2, kNamedInternal},
    {1184,  0,    0,     0,   0, "vxi_timer8cstatus",            "",    -1, 2, kNamedInternal},
    {1186,  0,    0,     0,   0, "vxi_timer9cstatus",            "",    -1, 2, kNamedInternal},
    {1188,  0,    0,     0,   0, "vxi_timer10cstatus",           "",    -1, 2, kNamedInternal},
    {1194,  0,    0,     0,   0, "vxg_groupvi",                  "",    -1, 1, kGroupInternal},
    {1178,  0,    0,     0,   0, "vxi_discoverybits",            "",    -1, 1, kNamedInternal},
    {1179,  0,    0,     0,   0, "vxi_secavgimpedance",          "",    -1, 1, kNamedInternal},
    {1180,  0,    0,     0,   0, "vxi_digauxintimer1",           "",    -1, 1, kNamedInternal},
    {1125,  0,    0,     0,   0, "vxi_discpollrate",             "",    -1, 1, kNamedInternal},
    {1131,  0,    0,     0,   0, "vxi_discoveryupdatecnt",       "",    -1, 1, kNamedInternal},
    {1117,  0,    0,     0,   0, "vxi_canrefreshrate",           "",    -1, 1, kNamedInternal},
    {1127,  0,    0,     0,   0, "vxi_modbuspollrate",           "",    -1, 1, kNamedInternal},
    {1124,  0,    0,     0,   0, "vxi_udppollrate",              "",    -1, 1, kNamedInternal},
    { 254, -2,    0, 10000,   0, "vxi_mirapowerlast",            "%",   -1, 1, kNamedInternal},
    {1231, -1,    0,     0,   0, "vxi_miragotnewfactors",        "",    -1, 1, kNamedInternal},
    {1230, -1,    0,     0,   0, "vxi_miramasterisopopt",        "",    -1, 1, kNamedInternal},
    {1198,  0,    0,     2,   0, "vxo_loglength",                "",    -1, 1, kNamedInternal},
    {1199,  0,    0,     0,   0, "vxo_clearlog",                 "",    -1, 1, kNamedInternal},
    {1189,  0,    0,     0,   0, "vxi_mirapowerprofile",         "",    -1, 2, kNamedInternal},
    {1191,  0,    0,     0,   0, "vxi_miramystatus",             "",    -1, 1, kNamedInternal},
    {1192,  0,    0,     0,   0, "vxi_miramyfieldtype",          "",    -1, 1, kNamedInternal},
    {1193,  0,    0,     0,   0, "vxi_mirafactorid",             "",    -1, 1, kNamedInternal},
    {1137,  0,   -6,     6,   0, "vxi_miralimitreceived",        "",    -1, 1, kNamedInternal},
    {1238,  0,    0,     0,   0, "vxi_vipreakcurrent",           "",    -1, 1, kNamedInternal},
    {1239,  0,    0,     0,   0, "vxi_vivalleypeakcur",          "",    -1, 1, kNamedInternal},
    {1268, -1,    0,     0,   0, "vxi_korameasuredcoronatime",   "",    -1, 1, kNamedInternal},
    {1240,  0,    0,     0,   0, "vxo_recalculate",              "",    -1, 0, kNamedInternal},
    {1246,  0,    0,     0,   0, "vxi_koralastqfull01",          "Q",   -1, 1, kNamedInternal},
    {1247,  0,    0,     0,   0, "vxi_koralastqtrunc01",         "Q",   -1, 1, kNamedInternal},
    {1248,  0,    0,     0,   0, "vxi_koralaststep01",           "",    -1, 1, kNamedInternal},
    {1249,  0,    0,     0,   0, "vxi_koralastqfull02",          "Q",   -1, 1, kNamedInternal},
    {1250,  0,    0,     0,   0, "vxi_koralastqtrunc02",         "Q",   -1, 1, kNamedInternal},
    {1251,  0,    0,     0,   0, "vxi_koralaststep02",           "",    -1, 1, kNamedInternal},
    {1252,  0,    0,     0,   0, "vxi_koralastqfull03",          "Q",   -1, 1, kNamedInternal},
    {1253,  0,    0,     0,   0, "vxi_koralastqtrunc03",         "Q",   -1, 1, kNamedInternal},
    {1254,  0,    0,     0,   0, "vxi_koralaststep03",           "",    -1, 1, kNamedInternal},
    {1272,  0,    0,     0,   0, "vxi_koralasttime01",           "",    -1, 1, kNamedInternal},
    {1274,  0,    0,     0,   0, "vxi_koralasttime02",           "",    -1, 1, kNamedInternal},
    {1276,  0,    0,     0,   0, "vxi_koralasttime03",           "",    -1, 1, kNamedInternal},
    {1278,  0,    0,     0,   0, "vxi_koralasttime04",           "",    -1, 1, kNamedInternal},
    {1280,  0,    0,     0,   0, "vxi_koralasttime05",           "",    -1, 1, kNamedInternal},
    {1273,  0,    0,     0,   0, "vxi_koralastqcurr01",          "",    -1, 1, kNamedInternal},
    {1275,  0,    0,     0,   0, "vxi_koralastqcurr02",          "",    -1, 1, kNamedInternal},
    {1277,  0,    0,     0,   0, "vxi_koralastqcurr03",          "",    -1, 1, kNamedInternal},
    {1279,  0,    0,     0,   0, "vxi_koralastqcurr04",          "",    -1, 1, kNamedInternal},
    {1281,  0,    0,     0,   0, "vxi_koralastqcurr05",          "",    -1, 1, kNamedInternal},
    {1282,  0,    0,     0,   0, "vxi_koralastqfull04",          "Q",   -1, 1, kNamedInternal},
    {1283,  0,    0,     0,   0, "vxi_koralastqtrunc04",         "Q",   -1, 1, kNamedInternal},
    {1284,  0,    0,     0,   0, "vxi_koralaststep04",           "",    -1, 1, kNamedInternal},
    {1285,  0,    0,     0,   0, "vxi_koralastqfull05",          "Q",   -1, 1, kNamedInternal},
    {1286,  0,    0,     0,   0, "vxi_koralastqtrunc05",         "Q",   -1, 1, kNamedInternal},
    {1287,  0,    0,     0,   0, "vxi_koralaststep05",           "",    -1, 1, kNamedInternal},
    {  44,  0,    0,     0,   0, "vxi_koraoptimizing",           "",    -1, 0, kNamedInternal},
    {1288,  0,   50,  2000, 500, "vxi_korarefcurrk",             "",    -1, 1, kNamedInternal},
    {1289,  0,    0,  1000,  90, "vxi_korarefcurrm",             "",    -1, 1, kNamedInternal},
    {1291,  0,    0,     0,   0, "vxi_koralastrefct01",          "",    -1, 1, kNamedInternal},
    {1292,  0,    0,     0,   0, "vxi_koralastrefcv01",          "",    -1, 1, kNamedInternal},
    {1293,  0,    0,     0,   0, "vxi_koralastrefvr01",          "",    -1, 1, kNamedInternal},
    {1294,  0,    0,     0,   0, "vxi_koralastreftime01",        "",    -1, 2, kNamedInternal},
    {1295,  0,    0,     0,   0, "vxi_koralastrefdate01",        "",    -1, 2, kNamedInternal},
    {1296,  0,    0,     0,   0, "vxi_koralastrefct02",          "",    -1, 1, kNamedInternal},
    {1297,  0,    0,     0,   0, "vxi_koralastrefcv02",          "",    -1, 1, kNamedInternal},
    {1298,  0,    0,     0,   0, "vxi_koralastrefvr02",          "",    -1, 1, kNamedInternal},
    {1299,  0,    0,     0,   0, "vxi_koralastreftime02",        "",    -1, 2, kNamedInternal},
    {1300,  0,    0,     0,   0, "vxi_koralastrefdate02",        "",    -1, 2, kNamedInternal},
    {1072,  0,    0,     0,   0, "vxi_koralastqfull06",          "Q",   -1, 1, kNamedInternal},
    {1073,  0,    0,     0,   0, "vxi_koralastqtrunc06",         "Q",   -1, 1, kNamedInternal},
    {1074,  0,    0,     0,   0, "vxi_koralaststep06",           "",    -1, 1, kNamedInternal},
    {1070,  0,    0,     0,   0, "vxi_koralasttime06",           "",    -1, 1, kNamedInternal},
    {1071,  0,    0,     0,   0, "vxi_koralastqcurr06",          "",    -1, 1, kNamedInternal},
    {1077,  0,    0,     0,   0, "vxi_koralastqfull07",          "Q",   -1, 1, kNamedInternal},
    {1078,  0,    0,     0,   0, "vxi_koralastqtrunc07",         "Q",   -1, 1, kNamedInternal},
    {1079,  0,    0,     0,   0, "vxi_koralaststep07",           "",    -1, 1, kNamedInternal},
    {1075,  0,    0,     0,   0, "vxi_koralasttime07",           "",    -1, 1, kNamedInternal},
    {1076,  0,    0,     0,   0, "vxi_koralastqcurr07",          "",    -1, 1, kNamedInternal},
    {1082,  0,    0,     0,   0, "vxi_koralastqfull08",          "Q",   -1, 1, kNamedInternal},
    {1083,  0,    0,     0,   0, "vxi_koralastqtrunc08",         "Q",   -1, 1, kNamedInternal},
    {1084,  0,    0,     0,   0, "vxi_koralaststep08",           "",    -1, 1, kNamedInternal},
    {1080,  0,    0,     0,   0, "vxi_koralasttime08",           "",    -1, 1, kNamedInternal},
    {1081,  0,    0,     0,   0, "vxi_koralastqcurr08",          "",    -1, 1, kNamedInternal},
    {1057,  0,    0,     0,   0, "vxi_koralastfrchange01fr",     "",    -1, 1, kNamedInternal},
    {1058,  0,    0,     0,   0, "vxi_koralastfrchange01cnt",    "",    -1, 1, kNamedInternal},
    {1059,  0,    0,     0,   0, "vxi_koralastfrchange01date",   "",    -1, 1, kNamedInternal},
    {1060,  0,    0,     0,   0, "vxi_koralastfrchange01time",   "",    -1, 1, kNamedInternal},
    {1061,  0,    0,     0,   0, "vxi_koralastfrchange02fr",     "",    -1, 1, kNamedInternal},
    {1062,  0,    0,     0,   0, "vxi_koralastfrchange02cnt",    "",    -1, 1, kNamedInternal},
    {1063,  0,    0,     0,   0, "vxi_koralastfrchange02date",   "",    -1, 1, kNamedInternal},
    {1064,  0,    0,     0,   0, "vxi_koralastfrchange02time",   "",    -1, 1, kNamedInternal},
    {1065,  0,    0,     0,   0, "vxi_koralastfrchange03fr",     "",    -1, 1, kNamedInternal},
    {1066,  0,    0,     0,   0, "vxi_koralastfrchange03cnt",    "",    -1, 1, kNamedInternal},
    {1067,  0,    0,     0,   0, "vxi_koralastfrchange03date",   "",    -1, 1, kNamedInternal},
    {1068,  0,    0,     0,   0, "vxi_koralastfrchange03time",   "",    -1, 1, kNamedInternal},
    {1069,  0,    0,     0,   0, "vxi_koralastfrchange04fr",     "",    -1, 1, kNamedInternal},
    {1095,  0,    0,     0,   0, "vxi_koralastfrchange04cnt",    "",    -1, 1, kNamedInternal},
    {1096,  0,    0,     0,   0, "vxi_koralastfrchange04date",   "",    -1, 1, kNamedInternal},
    {1097,  0,    0,     0,   0, "vxi_koralastfrchange04time",   "",    -1, 1, kNamedInternal},
    {1348,  0,    0,     2,   0, "vxo_simulate",                 "",    -1, 0, kNamedInternal},
    {1347,  0,    0,     4,   0, "vxo_simulationtime",           "",    -1, 1, kNamedInternal},
    {1346,  0,    0,     4,   0, "vxo_simulationtype",           "",    -1, 1, kNamedInternal},
    {1349,  0,    0,   100,   0, "vxi_simulationprogress",       "",    -1, 1, kNamedInternal},
    {1350,  0,    0,     0,   0, "vxo_viminimumcurrent",         "",    -1, 1, kNamedInternal},
    {1323,  0,    0,     0,   0, "vxo_serialtransmisson",        "",    -1, 1, kNamedInternal},
    {1232,  0,    0,     0,   0, "vxi_coronavalleyfromscope",    "",    -1, 1, kNamedInternal},
    {1233,  0,    0,     0,   0, "vxi_peakvoltagefromscope",     "",    -1, 1, kNamedInternal},
    {1316,  1, -100,   100,  10, "vxo_koraoptstepupthreshold",   "",    -1, 1, kNamedInternal},
    {1317,  0,    0,     1,   1, "vxo_showseries1",              "",    -1, 0, kNamedInternal},
    {1318,  0,    0,     1,   1, "vxo_showseries2",              "",    -1, 0, kNamedInternal},
    {1319,  0,    0,     1,   1, "vxo_showseries3",              "",    -1, 0, kNamedInternal},
    {1320,  0,    0,     1,   1, "vxo_showseries4",              "",    -1, 0, kNamedInternal},
    {1321,  0,    0,     1,   1, "vxo_showseries5",              "",    -1, 0, kNamedInternal},
    {1322,  0,    0,     1,   1, "vxo_showseries6",              "",    -1, 0, kNamedInternal},
    {1234,  0,    0,     0,   0, "vxi_testparkcurrent",          "",    -1, 1, kNamedInternal},
    {1345,  0,    0,     0,   0, "vxo_kora100pulsecurrmin",      "",  1556, 1, kNamedInternal},
    {1362,  0,    0,     0,   0, "vxg_sparkrecovcurve",          "",    -1, 1, kGroupInternal},
    {1343,  0,    0,     0,   0, "vxi_positiontag",              "",   364, 4, kNamedInternal},
    {1372,  0,    0,     0,   0, "vxi_spmtag",                   "",   363, 4, kNamedInternal},
    {1051,  0,    0,    16,  16, "vxo_virtualoutput01regbit",    "",    -1, 1, kNamedInternal},
    {1052,  0,    0,    16,  16, "vxo_virtualoutput02regbit",    "",    -1, 1, kNamedInternal},
    {1053,  0,    0,    16,  16, "vxo_virtualoutput03regbit",    "",    -1, 1, kNamedInternal},
    {1054,  0,    0,    16,  16, "vxo_virtualoutput04regbit",    "",    -1, 1, kNamedInternal},
    {1055,  0,    0,    16,  16, "vxo_virtualoutput05regbit",    "",    -1, 1, kNamedInternal},
    {1373,  0,    0,  1000,   0, "vxi_timeinslopelong",          "",    -1, 1, kNamedInternal},
    {1374,  0,    0,  1000,   0, "vxi_timeinslopeshort",         "",    -1, 1, kNamedInternal},
    {1379,  0,    0,     0,   0, "vxi_lastincomingrequest1",     "",    -1, 1, kNamedInternal},
    {1381,  0,    0,     0,   0, "vxi_lastincomingrequest2",     "",    -1, 1, kNamedInternal},
    {1380,  0,    0,     0,   0, "vxi_lastincomingrequesttime1", "",    -1, 2, kNamedInternal},
    {1382,  0,    0,     0,   0, "vxi_lastincomingrequesttime2", "",    -1, 2, kNamedInternal},
    {1056,  0,    0,     0,   0, "vxo_schedulerconnectstatus",   "",    -1, 1, kNamedInternal},
    {1383,  0,    0,     1,   0, "vxo_opacitysource",            "",  1076, 1, kNamedInternal},
    {1400,  0,    0,     0,   0, "vxi_espunitonoffpath1",        "",    -1, 2, kNamedInternal},
    {1401,  0,    0,     0,   0, "vxi_espunitonoffpath2",        "",    -1, 2, kNamedInternal},
    {1402,  0,    0,     0,   0, "vxi_espunitonoffpath3",        "",    -1, 2, kNamedInternal},
    {1403,  0,    0,     0,   0, "vxi_espunitonoffpath4",        "",    -1, 2, kNamedInternal},
    {1404,  0,    0,     0,   0, "vxi_espunitonoffpath5",        "",    -1, 2, kNamedInternal},
    {1405,  0,    0,     0,   0, "vxi_espunitonoffpath6",        "",    -1, 2, kNamedInternal},
    {1406,  0,    0,     0,   0, "vxi_espunitonoffpath7",        "",    -1, 2, kNamedInternal},
    {1407,  0,    0,     0,   0, "vxi_espunitonoffpath8",        "",    -1, 2, kNamedInternal},
    {1409,  0,    0,     0,   0, "vxi_abfieldstotpower",         "",    -1, 2, kNamedInternal},
    {1410,  0,    0,     0,   0, "vxi_cdfieldstotpower",         "",    -1, 2, kNamedInternal},
    {1411,  0,    0,     0,   0, "vxi_effieldstotpower",         "",    -1, 2, kNamedInternal},
    {1412,  0,    0,     0,   0, "vxi_ghfieldstotpower",         "",    -1, 2, kNamedInternal},
    {1417,  0,    0,     0,   0, "vxi_path12stotpower",          "",    -1, 2, kNamedInternal},
    {1418,  0,    0,     0,   0, "vxi_path34stotpower",          "",    -1, 2, kNamedInternal},
    {1419,  0,    0,     0,   0, "vxi_path56stotpower",          "",    -1, 2, kNamedInternal},
    {1420,  0,    0,     0,   0, "vxi_path78stotpower",          "",    -1, 2, kNamedInternal},
    {1421,  0,    0,     0,   0, "vxi_myesponoffpath",           "",    -1, 2, kNamedInternal},
};

// Nameless internal integers of initInternalSharedMemoryTags, in definition order.
constexpr SharedIntRun kInternalSharedInts[] = {
    // first  last  initial value
    {1197},
    {1344},
    {1370},
    {1368},
    {1369},
    {1367},
    {1357, 1361},
    {1364},
    {1366},
    {1352, 1356},
    {1363},
    {1365},
    {1102},
    {1123},
    {1122},
    {1101},
    {1115},
    {1118, 1121},
    {1126},
    {1128},
    {1129},
    {1130},
    {1138},
    {1139},
    {1140},
    {1116},
    {1132},
    {1196},
    {1136},
    {1200, 1219},
    {1220, 1229, -96563296},
    {1190, 1190, 10000},
    {1264},
    {1265},
    {1271},
    {1269},
    {1270},
    {1290},
    {1301},
    {1303},
    {1302},
    {1395, 1399},
    {1332},
    {1333},
    {1334},
    {1336},
    {1371},
    {1375, 1378},
    {1408},
    {1100},
};

// Nameless integers and named tags of the V-I measurement.
constexpr SharedIntRun kMeasurementSharedInts[] = {
    // first  last
    {1173, 1177},
    {1141, 1172},
};

constexpr InternalTagDefinition kMeasurementTags[] = {
    //handle exp min max def name                  unit Modbus fmt config
    {1241,   0,  0,  0,  0, "vxo_measvistdcurrk", "",    -1, 1, kNamedInternal},
    {1242,   0,  0,  0,  0, "vxo_measvistdcurrm", "",    -1, 1, kNamedInternal},
};

// Group cells: one list of member handles per column, rows from 0 down.
struct GroupColumn {
  int column;
  int handles[7];
};

constexpr int kSparkRecoveryCurve = 1362;  // vxg_sparkrecovcurve, 7 rows x 2 columns
constexpr GroupColumn kSparkRecoveryColumns[] = {
    // column  member handles, rows 0..6
    {0,        {1357, 1358, 1359, 1360, 1361, 1364, 1366}},
    {1,        {1352, 1353, 1354, 1355, 1356, 1363, 1365}},
};

constexpr int kViGroup = 1194;  // vxg_groupvi, one row per V-I point 1..7
constexpr GroupColumn kViColumns[] = {
    // column  member handles, rows 0..6
    {0,        {347, 348, 349, 350, 351, 352, 353}},  // vxi_vicurrden1..7
    {1,        {326, 327, 328, 329, 330, 331, 332}},  // vxi_vivoltav1..7
    {2,        {333, 334, 335, 336, 337, 338, 339}},  // vxi_vivoltpe1..7
    {3,        {340, 341, 342, 343, 344, 345, 346}},  // vxi_vivoltva1..7
};
constexpr int kGroupRowsUsed = 7;

// Text tags that start with a placeholder text until the unit's texts are loaded.
constexpr int kPositionTag = tags::vxi_positiontag;  // vxi_positiontag
constexpr int kSpmTag      = tags::vxi_spmtag;       // vxi_spmtag
constexpr const char* kPlaceholderText = "X";

constexpr int kScopeGrabTrigger    = tags::vxo_scopegrabtrigger;  // vxo_scopegrabtrigger
constexpr int kViMeasurementState  = internal::kViProgress;
constexpr int kViMeasurementResult = internal::kViResult;

// Version tags.
constexpr int kMasterTagVersion = 477;                     // vxi_mastertagversion
constexpr int kProgramVersion   = 292;                     // vxi_programversion
constexpr int kSomHardware      = 358;                     // vxi_somhardware
constexpr int kSomFpga          = 359;                     // vxi_somfpga
constexpr int kSystemVersion    = tags::vxi_systemversion;  // vxi_systemversion
constexpr uint32_t kSystemVersionBase = 0x220100;
constexpr uint32_t kProgramVersionBase = 0x1000C00;
constexpr int kSomHardwareVersion = 28;
constexpr int kSomFpgaVersion = 100;

constexpr const char* kOpenTagsFile = "/var/lib/orvix/openTags.ini";
constexpr size_t kShortestOpenTagLine = 5;
constexpr size_t kLongestOpenTagLine = 99;

int defineTag(const InternalTagDefinition& d) {
  int code = 0;
  dbInitTag(d.varNum, d.cExponent, d.iMin, d.iMax, d.iDefault, d.tag, d.unit, d.iModbus, d.cDataFormat, -1,
            d.iConfig, 0, static_cast<char>(255), &code);
  return code;
}

// Defines every integer of the runs, printing each failure with the caller's format.
void defineSharedInts(std::span<const SharedIntRun> runs, const char* failureFormat) {
  for (const SharedIntRun& run : runs) {
    for (int handle = run.first; handle <= run.last; ++handle) {
      int code = 0;
      if (!dbInitSharedInt(handle, run.initialValue, &code)) std::printf(failureFormat, code);
    }
  }
}

void setUpGroup(int groupTag, std::span<const GroupColumn> columns) {
  dbGroupSetupSize(groupTag, kGroupRowsUsed, static_cast<int>(columns.size()));
  for (const GroupColumn& column : columns) {
    for (short row = 0; row < kGroupRowsUsed; ++row) {
      dbGroupHandleAttach(groupTag, row, static_cast<short>(column.column), column.handles[row]);
    }
  }
}

void setValue(int handle, int value) {
  int ignored = 0;
  dbSetValueByHandle(handle, value, &ignored);
}

// The open tag name of a line: its leading characters in '0'..'z', up to an '='.
std::string openTagName(const std::string& line) {
  size_t end = 0;
  while (end < line.size() && line[end] >= '0' && line[end] <= 'z' && line[end] != '=') ++end;
  return line.substr(0, end);
}

}  // namespace

std::span<const InternalTagDefinition> internalTagTable() { return kInternalTags; }
std::span<const SharedIntRun> internalSharedIntTable() { return kInternalSharedInts; }
std::span<const SharedIntRun> measurementSharedIntTable() { return kMeasurementSharedInts; }
std::span<const InternalTagDefinition> measurementTagTable() { return kMeasurementTags; }

void initInternalSharedMemoryTags() {
  int errCode = 0;
  for (const InternalTagDefinition& definition : kInternalTags) {
    if (const int code = defineTag(definition); code != kInitOk) std::printf("initTagError %d\n", code);
    if (definition.varNum == kPositionTag || definition.varNum == kSpmTag) {
      dbSetModbusTextByHandle(definition.varNum, kPlaceholderText, &errCode);
    }
  }
  defineSharedInts(kInternalSharedInts, "initTagError %d\n");
  setValue(kScopeGrabTrigger, 0);
  setUpGroup(kSparkRecoveryCurve, kSparkRecoveryColumns);
}

void initMeasurmentSharedInt() {
  defineSharedInts(kMeasurementSharedInts, "%d \n");
  for (const InternalTagDefinition& definition : kMeasurementTags) {
    if (const int code = defineTag(definition); code != kInitOk) std::printf("%d \n", code);
  }
  setValue(kViMeasurementState, -1);
  setValue(kViMeasurementResult, 0);
  setUpGroup(kViGroup, kViColumns);
}

void dbBuildVersions() {
  // Computed unsigned: a tag version above 127 fills the top bit of the word.
  const uint32_t version = static_cast<uint32_t>(dbReadValueByHandle(kMasterTagVersion));
  setValue(kSystemVersion, static_cast<int>((version << 24) + kSystemVersionBase));
  setValue(kProgramVersion, static_cast<int>((version << 16) + kProgramVersionBase));
  setValue(kSomHardware, kSomHardwareVersion);
  setValue(kSomFpga, kSomFpgaVersion);
}

void openTags(bool /*newFile*/) {
  std::ifstream file(orvix::platform::resolvePath(kOpenTagsFile));
  if (!file) return;
  dbModbusProtectAll();
  std::string line;
  while (std::getline(file, line)) {
    if (line.size() < kShortestOpenTagLine || line.size() > kLongestOpenTagLine) continue;
    const std::string name = openTagName(line);
    std::printf("  tagName %s %d\n", name.c_str(), static_cast<int>(name.size()) - 1);
    int handle = -1;
    int code = 0;
    if (dbGetHandleByTagname(name.c_str(), &handle, &code)) {
      dbModbusUnprotect(handle);
    } else {
      std::printf("tagname not found! from openTags.ini %s %i\n", name.c_str(), code);
    }
  }
}
