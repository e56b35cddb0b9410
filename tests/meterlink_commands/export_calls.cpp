#include "export_calls.h"

namespace cmdtest {

std::vector<QueryCall> AllCallsWithGoodReplies() {
  return {
      {{"ResetAllData", [](Records&) { return ResetAllData(); }, "RESET_SETDATA"}, "OK"},
      {{"ResetAllWave", [](Records&) { return ResetAllWave(); }, "RESET_WVLEN"}, "OK"},
      {{"QUES_IDN", [](Records& r) { return QUES_IDN(&r.idn); }, "IDN"},
       "VANTOR,LX40,A12345678,100"},
      {{"QUES_MeasData", [](Records& r) { return QUES_MeasData(&r.reading); }, "GET_MESRDATA"},
       "+150003"},
      {{"QUES_AllWave", [](Records& r) { return QUES_AllWave(r.waves); }, "GET_WAVELEN:0"},
       "850,1.000"},
      {{"QUES_Sensor", [](Records& r) { return QUES_Sensor(r.sensor); }, "GET_SENSER"}, "LS-8010"},
      {{"QUES_Rel", [](Records& r) { return QUES_Rel(&r.reading); }, "GET_REL"}, "+150003"},
      {{"SET_Rel0", [](Records&) { return SET_Rel0(); }, "SET_REL0"}, "OK"},
      {{"SET_Rel1", [](Records& r) { return SET_Rel1(&r.reading); }, "SET_REL1:+150003"}, "OK"},
      {{"SQ_ModeQuery", [](Records& r) { return SQ_Mode(1, &r.mode); }, "GET_MODE"},
       "+01310,ABS,OFF,AUTO,DB"},
      {{"SQ_ModeSet", [](Records& r) { return SQ_Mode(0, &r.mode); },
        "SET_MODE:+01310,ABS,OFF,AUTO,DB"},
       "OK"},
      {{"SQ_AveQuery", [](Records& r) { return SQ_Ave(1, &r.number); }, "GET_AVE"}, "10"},
      {{"SQ_AveSet", [](Records& r) { return SQ_Ave(0, &r.number); }, "SET_AVE:+00010"}, "OK"},
      {{"SQ_RangeQuery", [](Records& r) { return SQ_Range(1, &r.number); }, "GET_RANGE"}, "-20"},
      {{"SQ_RangeSet", [](Records& r) { return SQ_Range(0, &r.number); }, "SET_RANGE:+00010"},
       "OK"},
      {{"SQ_WaveQuery", [](Records& r) { return SQ_Wave(1, &r.wave); }, "GET_WAVELEN"},
       "1310,1.234"},
      {{"SQ_WaveSet", [](Records& r) { return SQ_Wave(0, &r.wave); }, "SET_WAVELEN:+1310,+01.234"},
       "OK"},
      {{"SQ_ApsQuery", [](Records& r) { return SQ_Aps(1, &r.aps); }, "GET_APS"}, "ON"},
      {{"SQ_ApsSet", [](Records& r) { return SQ_Aps(0, &r.aps); }, "SET_APS:ON"}, "OK"},
  };
}

std::vector<ExportCall> AllExportCalls() {
  std::vector<ExportCall> calls;
  for (const QueryCall& q : AllCallsWithGoodReplies()) calls.push_back(q.call);
  return calls;
}

}  // namespace cmdtest
