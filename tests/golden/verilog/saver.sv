//==========================================================
//	Kandrel Auto Generation
//==========================================================

module Saver( input iPixClk
	//ExtIn
	//ExtOut
	);

	Plate
		Proc1( iPixClk,
			//In
			//Out
				Proc1_O1_FLT,
				Proc1_O1_Sync
			);
			wire [31:0]	Proc1_O1_FLT;
			wire [ 2:0]	Proc1_O1_Sync;

	SaveFile
		Proc2( iPixClk,
			//In
				Proc1_O1_FLT,
				Proc1_O1_Sync
			//Out
			);

	//ExtOut
endmodule
//----------------------------------------------------------

module Plate( input iPixClk,
	//ExtIn
	//ExtOut
		output [31:0]	O1_FLT,
		output [ 2:0]	O1_Sync

	);

	//-----------------------
	// Under construction...
	//-----------------------
endmodule
//----------------------------------------------------------

module SaveFile( input iPixClk,
	//ExtIn
		input [31:0]	Ext_In1_FLT,
		input [ 2:0]	Ext_In1_Sync

	//ExtOut
	);

	//-----------------------
	// Under construction...
	//-----------------------
endmodule
//----------------------------------------------------------

