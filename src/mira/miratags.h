// The tags MIRA reads and writes, by their fixed handles. The tests address the same
// tags by name, so a wrong handle shows there.
#pragma once

namespace mira::tag {

// clang-format off
// Master role                              handle   unit
constexpr int kMaster                     = 98;    // vxo_master
constexpr int kMasterMira                 = 151;   // vxo_mastermira
constexpr int kOpacCalib                  = 45;    // vxi_opaccalib
constexpr int kOpacitySource              = 1383;  // vxo_opacitysource: 0 4-20 mA input, 1 external value
constexpr int kAuxCurr                    = 230;   // vxi_auxcurr, 0.1 mA
constexpr int kExternalOpacity            = 876;   // vxo_externalopacity, 0.01 %
constexpr int kOpacMomentary              = 262;   // vxi_opacmomentary, 0.01 %
constexpr int kOpacAverage                = 263;   // vxi_miraopacaverage, 0.01 %
constexpr int kSetValue                   = 595;   // vxo_mirasetval, %
constexpr int kHighLimit                  = 596;   // vxo_mirahighlim, %
constexpr int kGain                       = 597;   // vxo_miragain, 0.01
constexpr int kSampleInterval             = 598;   // vxo_mirasampinterv, minutes
constexpr int kCurrLimMin                 = 599;   // vxo_miracurrlimmin, %
constexpr int kOpacCurr                   = 265;   // vxi_opaccurr, 0.01 %
constexpr int kMainLimit                  = 251;   // vxi_miramainlimit, 0.01 %
constexpr int kFactorId                   = 1193;  // vxi_mirafactorid, 0..9
constexpr int kPowerProfile               = 1189;  // vxi_mirapowerprofile, ThreePowers in 0.1 %
constexpr int kProfileFirst               = 255;   // vxi_miraprofilefirst, 0.01 %
constexpr int kProfileIntermediate        = 256;   // vxi_miraprofileintermediate, 0.01 %
constexpr int kProfileLast                = 257;   // vxi_miraprofilelast, 0.01 %
constexpr int kPowerFirst                 = 252;   // vxi_mirapowerfirst, 0.01 %
constexpr int kPowerIntermediate          = 253;   // vxi_mirapowerintermediate, 0.01 %
constexpr int kPowerLast                  = 254;   // vxi_mirapowerlast, 0.01 %
constexpr int kTotalCells                 = 754;   // vxo_esptotalcells
constexpr int kSecondsOfDay               = 1102;  // internal: seconds since midnight
constexpr int kCellStatusBefore           = 1199;  // + cell 1..10: MiraCellStatus
constexpr int kCellPowersBefore           = 1209;  // + cell 1..10: ThreePowers, per mille
constexpr int kCellLimitsBefore           = 1219;  // + cell 1..10: ThreeLimits, 0.1 %

// Unit role
constexpr int kActModeMira                = 97;    // vxo_actmodemira
constexpr int kActModeKora                = 95;    // vxo_actmodekora
constexpr int kActModeFiringRatio         = 559;   // vxo_actmodefiringratio, 0.01 %
constexpr int kActModeResistivity         = 569;   // vxo_actmoderesistivity, class 0..3
constexpr int kEspCodeFields              = 748;   // vxo_espcodefields, fields in series
constexpr int kFieldPosition              = 622;   // vxo_fieldposition, character code of the letter
constexpr int kCellPosition               = 624;   // vxo_cellposition, 1..10
constexpr int kProductCode                = 293;   // vxi_productcode
constexpr int kTron                       = 94;    // vxo_tron
constexpr int kTestMode                   = 104;   // vxo_testmode
constexpr int kMeasurement                = 87;    // vxi_measurement
constexpr int kMyLimit                    = 259;   // vxi_miramylimit, 0.1 %
constexpr int kLimitReceived              = 1137;  // vxi_miralimitreceived: 1 new limit, -1 taken
constexpr int kOpacCurrLim                = 264;   // vxi_opaccurrlim, 0.01 %
constexpr int kMyFr                       = 258;   // vxi_miramyfr, 0.01 %
constexpr int kMyFrMin                    = 261;   // vxi_miramyfrmin, 0.01 %
constexpr int kMyFieldType                = 1192;  // vxi_miramyfieldtype, 0 first 1 intermediate 2 last
constexpr int kMyStatus                   = 1191;  // vxi_miramystatus, MiraMyStatus
constexpr int kNotes                      = 444;   // vxi_miranotes
constexpr int kFunFiringRatio             = 411;   // vxi_funfiringratio, 0.01 %
constexpr int kFrSource                   = 217;   // vxi_frsource
constexpr int kKoraOptimalFr              = 244;   // vxi_koraoptimalfr, 0.01 %
constexpr int kKoraTestFr                 = 243;   // vxi_koratestfr, 0.01 %
constexpr int kKoraOptimizing             = 44;    // vxi_koraoptimizing
constexpr int kKoraReferenceRunning       = 1290;  // internal: a KORA reference measurement runs

// Log header
constexpr int kMasterTotalNr              = 270;   // vxi_mastertotalnr
constexpr int kMasterNrInOff              = 268;   // vxi_masternrinoff
constexpr int kMasterTotPower             = 271;   // vxi_mastertotpower
constexpr int kMasterAdrLimLo             = 617;   // vxo_masteradrlimlo
constexpr int kMasterAdrLimHi             = 618;   // vxo_masteradrlimlhi
constexpr int kDate                       = 619;   // vxo_date, packed
constexpr int kTime                       = 620;   // vxo_time, packed
// clang-format on

}  // namespace mira::tag
