// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern readers on small files of every kind, what they must honour and how they
// refuse damaged and hostile files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "errors.h"
#include "pattern_files.h"
#include "pattern_reader.h"
#include "test_files.h"

namespace dorvalix {
namespace {

using test::RawRange;

// What a file holds, scan by scan.
struct ScanFacts {
    std::size_t points;
    double first, last;  // 2θ
    double firstCount, lastCount;
    bool su;
};

void ExpectScans(const Pattern& p, const std::vector<ScanFacts>& facts) {
    ASSERT_EQ(p.scans.size(), facts.size());
    for (std::size_t s = 0; s < facts.size(); ++s) {
        SCOPED_TRACE("scan " + std::to_string(s + 1));
        const Scan& scan = p.scans[s];
        ASSERT_EQ(scan.Size(), facts[s].points);
        EXPECT_NEAR(scan.twoTheta.front(), facts[s].first, 1e-9);
        EXPECT_NEAR(scan.twoTheta.back(), facts[s].last, 1e-9);
        EXPECT_NEAR(scan.counts.front(), facts[s].firstCount, 1e-9);
        EXPECT_NEAR(scan.counts.back(), facts[s].lastCount, 1e-9);
        EXPECT_EQ(!scan.su.empty(), facts[s].su);
    }
}

std::string Refusal(const std::string& bytes, const std::string& name) {
    try {
        ParsePattern(bytes, name, Lang::English);
    } catch (const PatternFileError& e) {
        return e.what();
    }
    return "(read)";
}

// --- Text columns -------------------------------------------------------------------

TEST(XyReader, SeparatorsDecimalCommaHeaderAndOrder) {
    struct Case {
        const char* name;
        std::string text;
        ScanFacts facts;
    };
    const Case cases[] = {
        {"blank separated, header and comments",
         "Sample X\n2theta counts\n# a comment\n10.0 100\n 10.02  110 \n! another\n10.04 120\n",
         {3, 10, 10.04, 100, 120, false}},
        {"semicolons and decimal commas",
         "2θ;I\n10,0;100\n10,02;110,5\n",
         {2, 10, 10.02, 100, 110.5, false}},
        {"tabs, decimal commas, an s.u. column",
         "10,0\t100\t10\r\n10,02\t110\t10,5\r\n",
         {2, 10, 10.02, 100, 110, true}},
        {"comma separated with a header",
         "\xEF\xBB\xBF"
         "angle,intensity\n10.0,100\n10.02,110\n",
         {2, 10, 10.02, 100, 110, false}},
        {"measured downwards", "10.04 120\n10.02 110\n10.0 100\n", {3, 10, 10.04, 100, 120, false}},
        {"exponents and signs", "+1.0e1 1E2\n1.002e+1 -5\n", {2, 10, 10.02, 100, -5, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Pattern p = ParsePattern(c.text, "scan.xy", Lang::English);
        EXPECT_EQ(p.format, "xy");
        EXPECT_FALSE(p.wavelength.Known());  // nothing is assumed
        ExpectScans(p, {c.facts});
    }
    const Pattern su = ParsePattern("10,0\t100\t10\n10,02\t110\t10,5\n", "s.xye", Lang::English);
    EXPECT_EQ(su.scans[0].su[1], 10.5);
}

TEST(XyReader, RefusesWhatItCannotTrust) {
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"10 100\n10.02 abc\n", "s.xy, line 2: 'abc' is not a number"},
        {"10 100\n10.02 110 5 6\n",
         "s.xy, line 2: 4 columns, where 2θ and counts (and an s.u.) are expected"},
        {"10 100 1\n10.02 110\n", "s.xy, line 2: 2 columns"},
        {"10 100\n10.02 nan\n", "s.xy: point 2 of scan 1 is not a finite number"},
        {"10 100\n10.02 1e999\n", "s.xy: point 2 of scan 1 is not a finite number"},
        {"10 100\n10 110\n", "s.xy: the 2θ values of scan 1 do not increase at point 2"},
        {"only words here\n", "s.xy holds no measured points"},
        {std::string("10 100\n\0\x01\x02", 10),
         "s.xy is not a diffraction pattern this program reads"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_NE(Refusal(c.text, "s.xy").find(c.message), std::string::npos)
            << Refusal(c.text, "s.xy");
    }
    // In Japanese for the window.
    try {
        ParseXyText("10 100\n10 110\n", "s.xy", Lang::Japanese);
        ADD_FAILURE();
    } catch (const PatternFileError& e) {
        EXPECT_EQ(std::string(e.what()), "s.xy: スキャン 1 の 2θ が 2 点目で増加していません");
    }
}

// --- GSAS -----------------------------------------------------------------------------

TEST(GsasReader, StdEsdAndFxye) {
    // STD: 12 counts in 10 × (I2, F6.0) records from 15.0066° by 0.0131303°.
    const std::string std12 =
        "Sample title\r\n"
        "BANK 1 12 2 CONST 1500.66 1.31303 0 0 STD\r\n"
        "    2364    2382    2386    2357    2383    2462    2408    2528    2350    2437\r\n"
        "    2444    2427                                                                \r\n";
    Pattern p = ParsePattern(std12, "lab6.gsas", Lang::English);
    EXPECT_EQ(p.format, "gsas");
    EXPECT_EQ(p.sampleName, "Sample title");
    EXPECT_FALSE(p.wavelength.Known());
    ExpectScans(p, {{12, 15.0066, 15.0066 + 11 * 0.0131303, 2364, 2427, false}});

    // Counts averaged over 4 counters have the variance count / 4.
    p = ParsePattern("t\nBANK 1 2 1 CONST 1000 10 0 0 STD\n 4   400 4   900\n", "c.gsa",
                     Lang::English);
    ASSERT_EQ(p.scans[0].su.size(), 2u);
    EXPECT_DOUBLE_EQ(p.scans[0].su[0], 10);
    EXPECT_DOUBLE_EQ(p.scans[0].su[1], 15);

    // ESD: pairs of count and s.u.
    p = ParsePattern(
        "t\nBANK 1 3 1 CONST 1000 10 0 0 ESD\n     100      10     121      11     144      12\n",
        "e.gsa", Lang::English);
    ExpectScans(p, {{3, 10, 10.2, 100, 144, true}});
    EXPECT_DOUBLE_EQ(p.scans[0].su[2], 12);

    // FXYE in centidegrees, the wavelength from a comment, a line beyond the declared count.
    p = ParsePattern(
        "NAC\n# Calibrated wavelength = 0.413909\nBANK 1 2 2 CONS 50.00 0.10 0 0 FXYE\n"
        "   50   239.9   16.1\n   50.1   244.1   16.2\n   50.2   224.0   15.6\n",
        "nac.fxye", Lang::English);
    EXPECT_EQ(p.format, "fxye");
    EXPECT_EQ(p.wavelength.ka1, 0.413909L);
    EXPECT_TRUE(p.wavelength.stated);
    EXPECT_FALSE(p.wavelength.IsDoublet());
    ExpectScans(p, {{3, 0.5, 0.502, 239.9, 224.0, true}});
    ASSERT_EQ(p.notes.size(), 1u);
    EXPECT_EQ(p.notes[0], "nac.fxye: scan 1 declares 2 points and holds 3; all 3 are read");
}

TEST(GsasReader, Refusals) {
    EXPECT_NE(Refusal("t\nBANK 1 25 3 CONST 1000 10 0 0 STD\n     100     100\n", "a.gsa")
                  .find("a.gsa is cut short: scan 1 declares 25 points and the file holds 2"),
              std::string::npos);
    EXPECT_NE(Refusal("t\nBANK 1 2 1 CONST 1000 10 0 0 ALT\n 1 2 3\n", "a.gsa").find("ALT layout"),
              std::string::npos);
    EXPECT_NE(Refusal("t\nBANK 1 9000000000 1 CONST 1000 10 0 0 STD\n", "a.gsa")
                  .find("declares 9000000000 points; at most 5000000 are read"),
              std::string::npos);
}

// --- Rigaku .ras ----------------------------------------------------------------------

// A SmartLab header (the sample name in Shift-JIS) and its points.
std::string RasBlock(const std::string& start, const std::string& count, const std::string& type,
                     const std::string& points) {
    return "*RAS_HEADER_START\r\n*FILE_SAMPLE \"\x8E\x8E\x97\xBF Si\"\r\n"
           "*HW_GONIOMETER_NAME \"SmartLab|SmartLab\"\r\n"
           "*HW_XG_WAVE_LENGTH_ALPHA1 \"1.540593\"\r\n*HW_XG_WAVE_LENGTH_ALPHA2 \"1.544414\"\r\n"
           "*MEAS_COND_XG_WAVE_TYPE \"" +
           type + "\"\r\n*MEAS_DATA_COUNT \"" + count +
           "\"\r\n"
           "*MEAS_SCAN_AXIS_X_INTERNAL \"TwoThetaTheta\"\r\n*MEAS_SCAN_SPEED \"6.0\"\r\n"
           "*MEAS_SCAN_SPEED_UNIT \"deg/min\"\r\n*MEAS_SCAN_START \"" +
           start +
           "\"\r\n"
           "*MEAS_SCAN_STEP \"0.0200000000\"\r\n*MEAS_SCAN_START_TIME \"12/06/18 19:49:16\"\r\n"
           "*RAS_HEADER_END\r\n*RAS_INT_START\r\n" +
           points;
}

TEST(RasReader, ScansAttenuationTemperatureAndShiftJis) {
    const std::string ras =
        "*RAS_DATA_START\r\n" +
        RasBlock(
            "5.0", "3.0000000000", "Ka1",
            "5.0000 2297.0000 1.0000\r\n5.0200 2291.0000 10.0000\r\n5.0400 2234.0000 1.0000\r\n") +
        "*RAS_INT_END\r\n*RAS_TEMPERATURE_START\r\n5.0000 25.000 \r\n5.0200 25.000 \r\n"
        "*RAS_TEMPERATURE_END\r\n" +
        RasBlock("20.0", "2", "Ka1", "20.0000 28.0000 1.0000\r\n20.0200 30.0000 1.0000\r\n") +
        "*RAS_INT_END\r\n*RAS_TEMPERATURE_START\r\n20.0000 25.000 \r\n*RAS_TEMPERATURE_END\r\n"
        "*RAS_DATA_END\r\n";
    const Pattern p = ParsePattern(ras, "si.ras", Lang::English);
    EXPECT_EQ(p.format, "ras");
    EXPECT_EQ(p.sampleName, "試料 Si");
    EXPECT_EQ(p.instrument, "SmartLab");
    EXPECT_EQ(p.date, "12/06/18 19:49:16");
    EXPECT_EQ(p.wavelength.ka1, 1.540593L);
    EXPECT_FALSE(p.wavelength.IsDoublet());  // the Ka1 optics
    ExpectScans(p, {{3, 5, 5.04, 2297, 2234, false}, {2, 20, 20.02, 28, 30, false}});
    EXPECT_EQ(p.scans[0].counts[1], 22910);  // attenuation applied
    EXPECT_TRUE(p.scans[0].attenuated);
    EXPECT_DOUBLE_EQ(p.scans[0].countingTime, 0.2);  // 0.02° at 6°/min

    // The doublet when the optics let Kα2 through; its ratio is not stated and starts at 0.5.
    const Pattern ka = ParsePattern(RasBlock("5", "1", "Ka", "5.0 10 1\r\n") + "*RAS_INT_END\r\n",
                                    "k.ras", Lang::English);
    EXPECT_TRUE(ka.wavelength.IsDoublet());
    EXPECT_EQ(ka.wavelength.ka2, 1.544414L);
    EXPECT_EQ(ka.wavelength.ratio, 0.5L);

    EXPECT_NE(Refusal(RasBlock("5", "3", "Ka1", "5.0 10 1\r\n5.02 11 1\r\n"), "c.ras")
                  .find("c.ras is cut short: scan 1 declares 3 points and the file holds 2"),
              std::string::npos);
    EXPECT_NE(Refusal(RasBlock("5", "3", "Ka1", "5.0 10 1\r\n5.02 11 1\r\n") + "*RAS_INT_END\r\n",
                      "d.ras")
                  .find("d.ras is cut short"),
              std::string::npos);
    EXPECT_NE(Refusal(RasBlock("5", "1", "Ka1", "5.0 ten 1\r\n") + "*RAS_INT_END\r\n", "e.ras")
                  .find("e.ras, line 16: '5.0 ten 1' is not a number"),
              std::string::npos);
}

// --- PANalytical .xrdml ---------------------------------------------------------------

const char* const kXrdml1 = R"(<?xml version="1.0" encoding="UTF-8"?>
<xrdMeasurements xmlns="http://www.xrdml.com/XRDMeasurement/1.6">
 <comment><entry>Diffractometer system=EMPYREAN</entry></comment>
 <sample><id>Q-1</id><name>quartz</name></sample>
 <xrdMeasurement>
  <usedWavelength intended="K-Alpha 1">
   <kAlpha1 unit="Angstrom">1.5405980</kAlpha1><kAlpha2 unit="Angstrom">1.5444260</kAlpha2>
   <ratioKAlpha2KAlpha1>0.5000</ratioKAlpha2KAlpha1>
  </usedWavelength>
  <scan><header><startTimeStamp>2021-03-16T13:10:14+03:00</startTimeStamp></header>
   <dataPoints>
    <positions axis="2Theta" unit="deg"><startPosition>4.0</startPosition><endPosition>4.04</endPosition></positions>
    <positions axis="Omega" unit="deg"><startPosition>2.0</startPosition><endPosition>2.02</endPosition></positions>
    <beamAttenuationFactors>1 100 1</beamAttenuationFactors>
    <commonCountingTime unit="seconds">39.270</commonCountingTime>
    <intensities unit="counts">1305 13 1345</intensities>
   </dataPoints></scan>
  <scan><dataPoints>
    <positions axis="2Theta" unit="deg"><startPosition>10</startPosition><endPosition>11</endPosition></positions>
    <intensities unit="counts">7 8 9</intensities>
   </dataPoints></scan>
 </xrdMeasurement>
</xrdMeasurements>)";

const char* const kXrdml2 = R"(<?xml version="1.0" encoding="UTF-8"?>
<xrdMeasurements xmlns="http://www.xrdml.com/XRDMeasurement/2.1">
 <xrdMeasurement>
  <usedWavelength intended="K-Alpha 1">
   <kAlpha1 unit="Angstrom">1.5405980</kAlpha1><kAlpha2 unit="Angstrom">1.5444260</kAlpha2>
   <ratioKAlpha2KAlpha1>0.0000</ratioKAlpha2KAlpha1>
  </usedWavelength>
  <scan><dataPoints>
    <positions axis="2Theta" unit="deg"><listPositions>5.0 5.5 7.0</listPositions></positions>
    <countingTimes unit="seconds">1 2 3</countingTimes>
    <counts unit="counts">90 99 98</counts>
   </dataPoints></scan>
 </xrdMeasurement>
</xrdMeasurements>)";

TEST(XrdmlReader, SchemasOneAndTwo) {
    Pattern p = ParsePattern(kXrdml1, "q.xrdml", Lang::English);
    EXPECT_EQ(p.format, "xrdml");
    EXPECT_EQ(p.sampleName, "quartz");
    EXPECT_EQ(p.instrument, "EMPYREAN");
    EXPECT_EQ(p.date, "2021-03-16T13:10:14+03:00");
    EXPECT_EQ(p.wavelength.ka1, 1.540598L);
    EXPECT_EQ(p.wavelength.ka2, 1.544426L);
    EXPECT_EQ(p.wavelength.ratio, 0.5L);
    ExpectScans(p, {{3, 4.0, 4.04, 1305, 1345, false}, {3, 10, 11, 7, 9, false}});
    EXPECT_EQ(p.scans[0].counts[1], 1300);  // 13 counts behind an attenuator of 100
    EXPECT_DOUBLE_EQ(p.scans[0].twoTheta[1], 4.02);
    EXPECT_DOUBLE_EQ(p.scans[0].countingTime, 39.27);

    // A rocking curve (2θ at one position) is no 2θ scan: the file's 2θ scans are read.
    std::string rocking = kXrdml1;
    rocking.replace(rocking.find("<startPosition>10</startPosition><endPosition>11</endPosition>"),
                    62, "<commonPosition>10</commonPosition>");
    EXPECT_EQ(ParsePattern(rocking, "r.xrdml", Lang::English).scans.size(), 1u);

    p = ParsePattern(kXrdml2, "d.xrdml", Lang::English);
    EXPECT_FALSE(p.wavelength.IsDoublet());  // a ratio of 0: the monochromator's Kα1 alone
    ExpectScans(p, {{3, 5.0, 7.0, 90, 98, false}});
    EXPECT_DOUBLE_EQ(p.scans[0].twoTheta[1], 5.5);
    EXPECT_DOUBLE_EQ(p.scans[0].countingTime, 2);
}

TEST(XrdmlReader, HostileAndDamaged) {
    // An entity bomb is not expanded: the entity stays text, which is not a count.
    std::string bomb =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE x [\n<!ENTITY a \"1 1 1 1 1 1 1 1 1 1\">\n";
    for (char c = 'b'; c <= 'k'; ++c) {
        bomb += std::string("<!ENTITY ") + c + " \"";
        for (int i = 0; i < 10; ++i)
            bomb += std::string("&") + static_cast<char>(c - 1) + ";";
        bomb += "\">\n";
    }
    bomb +=
        "]>\n<xrdMeasurements><xrdMeasurement><scan><dataPoints><positions axis=\"2Theta\">"
        "<startPosition>1</startPosition><endPosition>2</endPosition></positions>"
        "<counts>&k;</counts></dataPoints></scan></xrdMeasurement></xrdMeasurements>\n";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_NE(Refusal(bomb, "b.xrdml").find("b.xrdml is damaged (counts: '&k;' is not a number)"),
              std::string::npos)
        << Refusal(bomb, "b.xrdml");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));

    std::string mismatch = kXrdml2;
    mismatch.replace(mismatch.find("5.0 5.5 7.0"), 11, "5.0 5.5");
    EXPECT_NE(Refusal(mismatch, "m.xrdml").find("m.xrdml: scan 1 lists 2 positions and 3 counts"),
              std::string::npos);
    std::string cut = kXrdml1;
    cut.resize(cut.size() / 2);
    EXPECT_NE(Refusal(cut, "c.xrdml").find("c.xrdml is damaged (XML: "), std::string::npos);
}

// --- Bruker .raw ----------------------------------------------------------------------

TEST(BrukerRawReader, VersionThreeAndFour) {
    const std::vector<RawRange> ranges = {{10, 0.02, {100, 200, 300, 400}, 95},
                                          {40, 0.05, {7, 8, 9}, 2}};
    Pattern p = ParsePattern(test::RawVersion3(ranges, 1.5406, 1.54439, 0.5, "LaB6 660a"), "l.raw",
                             Lang::English);
    EXPECT_EQ(p.format, "raw");
    EXPECT_EQ(p.sampleName, "LaB6 660a");
    EXPECT_EQ(p.date, "01/22/18 16:34:23");
    // Binary headers hold doubles.
    EXPECT_EQ(p.wavelength.ka1, static_cast<long double>(1.5406));
    EXPECT_EQ(p.wavelength.ka2, static_cast<long double>(1.54439));
    EXPECT_EQ(p.wavelength.ratio, 0.5L);
    ExpectScans(p, {{4, 10, 10.06, 100, 400, false}, {3, 40, 40.1, 7, 9, false}});
    EXPECT_DOUBLE_EQ(p.scans[0].countingTime, 95);

    // Version 4: records of 8 and 12 bytes, a segment between the ranges, Kα1 alone.
    for (const std::uint32_t size : {8u, 12u}) {
        SCOPED_TRACE(size);
        p = ParsePattern(test::RawVersion4(ranges, 1.5406, 0, 0, "HeOx-1001", size), "h.raw",
                         Lang::English);
        EXPECT_EQ(p.sampleName, "HeOx-1001");
        EXPECT_EQ(p.date, "04/07/2025 20:48:56");
        EXPECT_EQ(p.wavelength.ka1, static_cast<long double>(1.5406));
        EXPECT_FALSE(p.wavelength.IsDoublet());
        ExpectScans(p, {{4, 10, 10.06, 100, 400, false}, {3, 40, 40.1, 7, 9, false}});
    }
}

TEST(BrukerRawReader, DamagedAndForeignFiles) {
    const std::vector<RawRange> one = {{10, 0.02, {100, 200, 300, 400}, 1}};
    const std::string v3 = test::RawVersion3(one, 1.5406, 1.54439, 0.5, "s");
    const std::string v4 = test::RawVersion4(one, 1.5406, 0, 0, "s");
    struct Case {
        const char* name;
        std::string bytes;
        std::string message;
    };
    std::string billions = v3;
    billions.replace(712 + 4, 4, std::string("\x00\x28\x6B\xEE", 4));  // 4e9 steps
    std::string badSegment = v4;
    badSegment.replace(61 + 4, 4, std::string(4, '\0'));
    std::string nan = v4;
    nan.replace(nan.size() - 8, 4, std::string("\x00\x00\xC0\x7F", 4));  // a NaN count
    const Case cases[] = {
        {"v3 cut short", v3.substr(0, v3.size() - 6),
         "x.raw is cut short: scan 1 declares 4 points and the file holds 2"},
        {"v4 cut short", v4.substr(0, v4.size() - 9),
         "x.raw is cut short: scan 1 declares 4 points and the file holds 2"},
        {"v3 header cut short", v3.substr(0, 500), "x.raw is damaged (it ends at byte 500"},
        {"billions of points", billions, "x.raw declares 4000000000 points; at most 5000000"},
        {"a segment of length 0", badSegment, "x.raw is damaged (a header segment at byte 61"},
        {"a NaN count", nan, "x.raw: point 4 of scan 1 is not a finite number"},
        {"STOE", "RAW_1.06Powdat" + std::string(600, '\0'), "x.raw is a STOE WinXPOW raw file"},
        {"Bruker version 2", "RAW2" + std::string(600, '\0'),
         "x.raw is a Bruker RAW file of version 1 or 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(Refusal(c.bytes, "x.raw").find(c.message), std::string::npos)
            << Refusal(c.bytes, "x.raw");
    }
}

// --- Archives: Bruker .brml and Rigaku .rasx ------------------------------------------

std::string RawDataXml(bool views, const std::string& rows) {
    std::string xml = R"(<?xml version="1.0"?>
<RawData xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
 <TimeStampStarted>2021-06-17T11:48:20</TimeStampStarted>
 <DataRoutes><DataRoute RouteFlag="Measured">
  <ScanInformation><ScanAxes>
   <ScanAxisInfo AxisName="TwoTheta"/><ScanAxisInfo AxisName="Theta"/>
  </ScanAxes></ScanInformation>)";
    if (views) {
        // Columns in another order than the usual, named by the views.
        xml += R"(
  <DataViews>
   <RawDataView xsi:type="RecordedRawDataView" Start="0" Length="1"/>
   <RawDataView xsi:type="FixedRawDataView" Start="1" Length="1" LogicName="MeasuredTime"/>
   <RawDataView xsi:type="VaryingRawDataView" Start="2" Length="2"><Varying>
    <FieldDefinitions FieldName="Theta"/><FieldDefinitions FieldName="TwoTheta"/>
   </Varying></RawDataView>
   <RawDataView xsi:type="FixedRawDataView" Start="4" Length="1" LogicName="AbsorptionFactor"/>
  </DataViews>)";
    }
    xml += rows + R"(
 </DataRoute></DataRoutes>
 <FixedInformation><MethodInformation><InfoData><InfoList>
  <InfoItem Name="SampleName" Value="Corundum Std" Unit=""/>
 </InfoList></InfoData></MethodInformation>
 <Instrument><Tube><WaveLengthAlpha1 Unit="Å" Value="1.5406"/><WaveLengthAlpha2 Unit="Å" Value="1.54439"/>
  <WaveLengthRatio Unit="" Value="0.5"/></Tube></Instrument></FixedInformation>
</RawData>)";
    return xml;
}

class ArchiveReaders : public test::TempFolder {};

TEST_F(ArchiveReaders, BrmlColumnsByTheirNames) {
    const std::string brml = test::ZipArchiveBytes(
        {{"Experiment0/RawData0.xml",
          RawDataXml(true, "<Datum>9,19.2,2.5,5,1</Datum><Datum>11,19.2,2.51,5.02,10</Datum>")},
         {"Experiment0/RawData1.xml",
          RawDataXml(false, "<Datum>0.1,1,6,3,7</Datum><Datum>0.1,1,6.02,3.01,8</Datum>")},
         {"experimentCollection.xml", "<x/>"}},
        dir);
    const Pattern p = ParsePattern(brml, "c.brml", Lang::English);
    EXPECT_EQ(p.format, "brml");
    EXPECT_EQ(p.sampleName, "Corundum Std");
    EXPECT_EQ(p.date, "2021-06-17T11:48:20");
    EXPECT_EQ(p.wavelength.ka1, 1.5406L);
    EXPECT_EQ(p.wavelength.ratio, 0.5L);
    ExpectScans(p, {{2, 5, 5.02, 9, 110, false}, {2, 6, 6.02, 7, 8, false}});
    EXPECT_DOUBLE_EQ(p.scans[0].countingTime, 19.2);
    EXPECT_TRUE(p.scans[0].attenuated);

    EXPECT_NE(Refusal(test::ZipArchiveBytes({{"Experiment0/Other.xml", "<x/>"}}, dir), "n.brml")
                  .find("n.brml is not a diffraction pattern"),
              std::string::npos);
    const std::string unnamed = test::ZipArchiveBytes(
        {{"Experiment0/RawData0.xml", RawDataXml(false, "<Datum>1,2</Datum>")}}, dir);
    EXPECT_NE(Refusal(unnamed, "u.brml").find("u.brml holds no 2θ and counts columns"),
              std::string::npos);
}

TEST_F(ArchiveReaders, RasxProfileAndConditions) {
    const std::string conditions = R"(<?xml version="1.0" encoding="utf-8"?>
<MeasurementConditions>
 <GeneralInformation><SampleName>perovskite</SampleName><SystemName>SmartLabXE</SystemName></GeneralInformation>
 <HWConfigurations><XrayGenerator><WaveType>Ka</WaveType>
  <WavelengthKalpha1>1.540593</WavelengthKalpha1><WavelengthKalpha2>1.544414</WavelengthKalpha2>
 </XrayGenerator></HWConfigurations>
 <ScanInformation><AxisName>TwoTheta</AxisName><Step>0.0400</Step><Speed>1.0000</Speed>
  <SpeedUnit>deg/min</SpeedUnit><StartTime>2021-05-05T10:35:31Z</StartTime><DataCount>3</DataCount>
 </ScanInformation>
</MeasurementConditions>)";
    const std::string profile =
        "\xEF\xBB\xBF"
        "10.0000\t170.5\t1\r\n10.0400\t17.05\t10\r\n10.0800\t150.7\t1\r\n";
    const Pattern p =
        ParsePattern(test::ZipArchiveBytes({{"Data0/Profile0.txt", profile},
                                            {"Data0/MesurementConditions0.xml", conditions},
                                            {"root.xml", "<Root/>"}},
                                           dir),
                     "p.rasx", Lang::English);
    EXPECT_EQ(p.format, "rasx");
    EXPECT_EQ(p.sampleName, "perovskite");
    EXPECT_EQ(p.instrument, "SmartLabXE");
    EXPECT_TRUE(p.wavelength.IsDoublet());
    ExpectScans(p, {{3, 10, 10.08, 170.5, 150.7, false}});
    EXPECT_DOUBLE_EQ(p.scans[0].counts[1], 170.5);
    EXPECT_DOUBLE_EQ(p.scans[0].countingTime, 2.4);

    std::string short2 = conditions;
    short2.replace(short2.find("<DataCount>3"), 12, "<DataCount>4");
    EXPECT_NE(Refusal(test::ZipArchiveBytes({{"Data0/Profile0.txt", profile},
                                             {"Data0/MesurementConditions0.xml", short2}},
                                            dir),
                      "s.rasx")
                  .find("s.rasx is cut short: scan 1 declares 4 points and the file holds 3"),
              std::string::npos);
}

// A small archive whose member unpacks to more than 64 MiB is refused after 64 MiB.
TEST_F(ArchiveReaders, ZipBombIsRefused) {
    const std::string bomb =
        test::ZipArchiveBytes({{"Data0/Profile0.txt", std::string(65 * 1024 * 1024, '0')}}, dir);
    EXPECT_LT(bomb.size(), 200u * 1024);
    EXPECT_NE(Refusal(bomb, "z.rasx")
                  .find("z.rasx: Data0/Profile0.txt in the archive unpacks to "
                        "more than 64 MiB"),
              std::string::npos);
    std::string damaged = test::ZipArchiveBytes({{"Data0/Profile0.txt", "10 1\n"}}, dir);
    damaged.resize(damaged.size() - 30);
    EXPECT_NE(Refusal(damaged, "d.rasx").find("d.rasx is damaged"), std::string::npos);
}

// --- Inputs the fuzzers found faults with ---------------------------------------------

// Kept under tests/data/fuzz/pattern_<reader>/: each gives a pattern or a clear refusal.
TEST(PatternFuzzRegressions, EveryKeptInputIsReadOrRefused) {
    std::size_t inputs = 0;
    for (const auto& folder : std::filesystem::directory_iterator(DORVALIX_FUZZ_INPUTS)) {
        if (!folder.path().filename().string().starts_with("pattern_")) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            SCOPED_TRACE(entry.path().string());
            ++inputs;
            try {
                const Pattern p = ReadPatternFile(entry.path().string(), Lang::English);
                EXPECT_FALSE(p.scans.empty());
            } catch (const DorvalixError& e) {
                EXPECT_NE(std::string(e.what()), "");
            }
        }
    }
    EXPECT_GT(inputs, 0u);
}

// --- Files ------------------------------------------------------------------------------

class PatternFiles : public test::TempFolder {};

TEST_F(PatternFiles, ReadsAFileAndRefusesWhatIsNoFile) {
    const std::string path = Write("scan.xy", "10 1\n10.1 2\n");
    EXPECT_EQ(ReadPatternFile(path, Lang::English).scans[0].Size(), 2u);
    // Larger than 64 MiB: refused before a byte is read (the file is sparse).
    const std::string big = dir + "/big.xy";
    { std::ofstream(big).put('1'); }
    ASSERT_EQ(truncate(big.c_str(), 65 * 1024 * 1024), 0);
    try {
        ReadPatternFile(big, Lang::English);
        ADD_FAILURE();
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find("big.xy is larger than 64 MiB"), std::string::npos);
    }
    EXPECT_THROW(ReadPatternFile(dir, Lang::English), IoError);
    EXPECT_THROW(ReadPatternFile(dir + "/none.xy", Lang::English), IoError);
}

}  // namespace
}  // namespace dorvalix
